#pragma once
// Which page may talk to native code: a view accepts a page's messages only
// while it shows a URI this admits.

#include <filesystem>
#include <string>
#include <string_view>

namespace sorvenia {

class OrigenPermitido {
public:
    // Admits nothing.
    OrigenPermitido() = default;

    // File URIs of anything inside `carpeta` (at any depth), never the
    // folder itself nor a sibling whose name merely starts the same.
    static OrigenPermitido carpeta(const std::filesystem::path& carpeta);

    // Exactly this URI, whatever fragment it carries. An empty URI admits
    // nothing.
    static OrigenPermitido uri(std::string uri);

    bool admite(std::string_view uri) const;

private:
    bool admiteArchivo(std::string_view uri) const;

    std::filesystem::path carpeta_;
    std::string uri_;
};

}  // namespace sorvenia
