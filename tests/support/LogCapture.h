// The log messages written while a capture is alive.
#pragma once

#include "lib/Logger.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

class LogCapture {
public:
    LogCapture() : m_mark(NLib::Logger::MessageCount()) {}

    std::vector<std::wstring> Messages() const {
        return NLib::Logger::RecentMessages(static_cast<std::size_t>(NLib::Logger::MessageCount() - m_mark));
    }

private:
    std::uint64_t m_mark;
};

}  // namespace TestSupport
