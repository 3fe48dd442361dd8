#include "lib/Logger.h"

#include "lib/TextFormat.h"

namespace NLib {

Logger* Logger::s_instance = nullptr;
bool Logger::s_ready = false;

// Destroys the logger at process exit, which writes every pending line.
class LoggerOwner {
public:
    ~LoggerOwner() {
        Logger* logger = Logger::s_instance;
        Logger::s_instance = nullptr;
        Logger::s_ready = false;
        delete logger;
    }
};

namespace {
LoggerOwner g_loggerOwner;
}

Logger::Logger(const std::wstring& fileName) : m_stream(false), m_messageCount(0) {
    if (m_stream.Open(fileName, OpenMode::Write | OpenMode::Truncate) != 0) return;
    s_ready = true;
    m_stream << fileName + L"\n\n";
    m_stream.Flush();
}

Logger::~Logger() {
    m_stream.Close();
}

int Logger::Init(const std::wstring& fileName) {
    if (s_instance != nullptr) return 1;
    s_instance = new Logger(fileName);
    return s_ready ? 0 : 2;
}

void Logger::Write(const std::wstring& message, bool flush) {
    if (!s_ready || s_instance == nullptr) return;
    s_instance->Append(message, flush);
}

std::wstring Logger::TimeStamp(const SYSTEMTIME& time) {
    return UInt64ToString(time.wYear) + L"-" + UInt64ToString(time.wMonth) + L"-" + UInt64ToString(time.wDay) + L"  " +
           UInt64ToString(time.wHour) + L":" + UInt64ToString(time.wMinute) + L"    ";
}

void Logger::Append(const std::wstring& message, bool flush) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    m_stream << TimeStamp(now) + message + L"\n";
    if (flush) m_stream.Flush();

    ++m_messageCount;
    m_recent.push_back(message);
    if (m_recent.size() > kRecentCapacity) m_recent.pop_front();
}

std::uint64_t Logger::MessageCount() {
    return s_instance != nullptr ? s_instance->m_messageCount : 0;
}

std::vector<std::wstring> Logger::RecentMessages(std::size_t count) {
    if (s_instance == nullptr) return {};
    const std::deque<std::wstring>& recent = s_instance->m_recent;
    if (count > recent.size()) count = recent.size();
    return std::vector<std::wstring>(recent.end() - static_cast<std::ptrdiff_t>(count), recent.end());
}

}  // namespace NLib
