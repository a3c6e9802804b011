#pragma once
// The scene videos of a design's pages: which ones a page uses, where this
// computer keeps them, and the page rewritten to show a scene's poster
// where its video is not available.

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace sorvenia::Escenas {

// The scene ids the HTML uses: "escenas/<id>.mp4" or ".jpg" references and
// the data-escena of video elements.
std::set<std::string> usadas(std::string_view html);

// ~/.local/share/SorveniaTarvel/escenas: one folder per design.
std::filesystem::path raiz();

// The design's scene folder: the id reduced to ASCII letters, digits, "_"
// and "-", at most 64 of them; "sin-guardar" when nothing is left.
std::filesystem::path carpeta(const std::optional<std::string>& doc);

// Every video element of a scene in `solo` becomes the scene's poster
// image, keeping the element's class and style, so that a page whose video
// could not be published still shows the scene.
std::string conPoster(const std::string& html, const std::set<std::string>& solo);

// The file an "escena://<host>/<name>" URL asks for in `carpeta`: one plain
// name (letters, digits, ".", "_", "-", not starting with "." or "-", no
// ".."), query and fragment ignored, that is a regular file whose real path
// stays inside the folder. Nothing for anything else: further path
// segments, encoded characters, absolute paths, a symbolic link that leads
// out of the folder, a missing file.
std::optional<std::filesystem::path> archivoPedido(std::string_view url, const std::filesystem::path& carpeta);
// The content type of a scene file by its extension ("video/mp4",
// "image/jpeg"...); "application/octet-stream" when unknown.
std::string mime(std::string_view archivo);

// Copies "<id>.mp4" and "<id>.jpg" of each scene id (ids that are not
// [a-z0-9][a-z0-9-]{0,39} are skipped) from the design's scene folder into
// "escenas" inside `destino`, made when missing, replacing older copies.
// Missing sources and file errors are skipped. Gives the number of videos
// copied.
int copiar(const std::set<std::string>& ids, const std::optional<std::string>& doc,
           const std::filesystem::path& destino);

}  // namespace sorvenia::Escenas
