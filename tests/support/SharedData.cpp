#include "support/SharedData.h"

#include <cstdlib>
#include <cstring>

namespace TestSupport {

std::filesystem::path SharedDataRoot() {
    return std::filesystem::path(NVESK_SHARED_DATA_DIR).lexically_normal();
}

bool SharedDataRequired(const char* setting) {
    return setting != nullptr && *setting != '\0' && std::strcmp(setting, "0") != 0;
}

bool SharedDataRequired() {
    return SharedDataRequired(std::getenv("NVESK_REQUIRE_SHARED_DATA"));
}

std::optional<std::string> MissingSharedFolder(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return std::nullopt;
    return "shared test data missing: " + folder.lexically_normal().string() +
           " (a folder beside the repository; NVESK_REQUIRE_SHARED_DATA=1 makes this a failure)";
}

}  // namespace TestSupport
