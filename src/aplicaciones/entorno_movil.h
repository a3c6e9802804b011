#pragma once
// What the computer offers for building a mobile app project: the iPhone
// toolchain (Xcode and a simulator) and the Android one (SDK, Java home,
// emulators). The agent's brief for a mobile app is written from it.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvenia {

struct EntornoMovil {
    struct Simulador {
        std::string udid;
        std::string nombre;
    };
    std::optional<std::string> xcode;          // Xcode's version text
    std::optional<Simulador> iphone;           // the iPhone simulator chosen
    std::optional<std::filesystem::path> sdk;  // the Android SDK
    std::optional<std::filesystem::path> jdk;  // the Java home
    std::vector<std::string> avds;             // the Android emulators' names
};

}  // namespace sorvenia
