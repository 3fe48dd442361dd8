// The log file: one UTF-16 file of time-stamped lines, written by every component.
#pragma once

#include "lib/TextStream.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace NLib {

class Logger {
public:
    // Creates the logger: 0 ready; 1 a logger already exists; 2 created, but its file failed to open
    // (it stays silent).
    static int Init(const std::wstring& fileName);
    // Appends one time-stamped line; flush writes the pending lines to disk at once.
    // Does nothing before Init, after a failed open, or after the logger was destroyed.
    static void Write(const std::wstring& message, bool flush);
    // The start of a line: "year-month-day  hour:minute    ", numbers without leading zeros.
    static std::wstring TimeStamp(const SYSTEMTIME& time);

    // Messages written so far (time stamps excluded), for diagnostics: the total count and the
    // last ones, oldest first. At most kRecentCapacity are kept.
    static constexpr std::size_t kRecentCapacity = 256;
    static std::uint64_t MessageCount();
    static std::vector<std::wstring> RecentMessages(std::size_t count);

private:
    friend class LoggerOwner;

    explicit Logger(const std::wstring& fileName);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void Append(const std::wstring& message, bool flush);

    TextStream m_stream;
    std::deque<std::wstring> m_recent;
    std::uint64_t m_messageCount;

    static Logger* s_instance;
    static bool s_ready;
};

}  // namespace NLib
