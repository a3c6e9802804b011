// Chat history files, and their reading when a design opens.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "centro/editor_modelo.h"
#include "plataforma/carpetas.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The application folder follows $HOME, read once per process: each test
// program gets a home of its own before anything asks for it.
class ChatsEditorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const std::string casa = [] {
            std::string plantilla = (fs::temp_directory_path() / "chats-prueba-XXXXXX").string();
            if (mkdtemp(plantilla.data()) == nullptr) return std::string();
            setenv("HOME", plantilla.c_str(), 1);
            return plantilla;
        }();
        ASSERT_FALSE(casa.empty());
        ASSERT_EQ(Carpetas::aplicacion(), fs::path(casa) / ".local/share/SorveniaTarvel");
    }
    static void TearDownTestSuite() {
        fs::remove_all(Carpetas::aplicacion().parent_path().parent_path().parent_path());
    }
    void SetUp() override { fs::remove_all(carpeta()); }

    static fs::path carpeta() { return Carpetas::aplicacion() / "chats"; }

    static std::string leer(const fs::path& archivo) {
        std::ifstream entrada(archivo, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(entrada)), std::istreambuf_iterator<char>());
    }
    static void escribir(const fs::path& archivo, const std::string& texto) {
        fs::create_directories(archivo.parent_path());
        std::ofstream(archivo, std::ios::binary) << texto;
    }
    static std::size_t archivosEnCarpeta() {
        std::error_code ec;
        std::size_t n = 0;
        for (auto it = fs::directory_iterator(carpeta(), ec); !ec && it != fs::directory_iterator(); ++it) ++n;
        return n;
    }
};

const json muestra = json::parse(
    R"([{"id":"c1","titulo":"Portada","mensajes":[{"de":"yo","texto":"Hazla azul é 👍"}]},{"id":"c2","mensajes":[]}])");

TEST_F(ChatsEditorTest, ArchivoDeUnId) {
    EXPECT_FALSE(fs::exists(carpeta()));
    const auto archivo = EditorModelo::archivoChats("AbZz09_-x");
    ASSERT_TRUE(archivo);
    EXPECT_EQ(*archivo, carpeta() / "AbZz09_-x.json");
    EXPECT_TRUE(fs::is_directory(carpeta())) << "the folder is made on the way";
    EXPECT_FALSE(fs::exists(*archivo));

    const std::string ochenta(80, 'a');
    EXPECT_EQ(EditorModelo::archivoChats(ochenta), carpeta() / (ochenta + ".json"));
}

TEST_F(ChatsEditorTest, IdsSinArchivo) {
    for (const std::string& id :
         {std::string(81, 'a'), std::string(), std::string("a.b"), std::string("a/b"), std::string("../x"),
          std::string(".."), std::string("a b"), std::string("año"), std::string("a\0b", 3), std::string("a\n"),
          std::string("a\\b"), std::string("a:b")}) {
        EXPECT_FALSE(EditorModelo::archivoChats(id)) << id;
        EditorModelo::escribirChats(muestra, id);
        EXPECT_EQ(EditorModelo::leerChats(id), json::array()) << id;
    }
    EXPECT_EQ(archivosEnCarpeta(), 0u);
    EXPECT_FALSE(fs::exists(Carpetas::aplicacion() / "x.json"));
}

TEST_F(ChatsEditorTest, SinIdNoHayArchivo) {
    EditorModelo::escribirChats(muestra, std::nullopt);
    EXPECT_EQ(archivosEnCarpeta(), 0u);
    EXPECT_EQ(EditorModelo::leerChats(std::nullopt), json::array());
}

TEST_F(ChatsEditorTest, EscribirYLeer) {
    EditorModelo::escribirChats(muestra, "d1");
    const fs::path archivo = carpeta() / "d1.json";
    ASSERT_TRUE(fs::exists(archivo));
    EXPECT_EQ(leer(archivo), muestra.dump()) << "compact JSON, keys as they were";
    EXPECT_EQ(EditorModelo::leerChats("d1"), muestra);
    struct stat datos {};
    ASSERT_EQ(stat(archivo.c_str(), &datos), 0);
    EXPECT_EQ(datos.st_mode & 0777, 0600u);

    // The next write replaces the file whole; no temporary file stays.
    const json otra = json::array({{{"id", "c3"}}});
    EditorModelo::escribirChats(otra, "d1");
    EXPECT_EQ(EditorModelo::leerChats("d1"), otra);
    EditorModelo::escribirChats(json::array(), "d1");
    EXPECT_EQ(leer(archivo), "[]");
    EXPECT_EQ(archivosEnCarpeta(), 1u);
    // Another design, another file.
    EXPECT_EQ(EditorModelo::leerChats("d2"), json::array());
}

TEST_F(ChatsEditorTest, MuchasEscriturasSeguidas) {
    for (int i = 0; i < 200; ++i)
        EditorModelo::escribirChats(json::array({{{"n", i}, {"texto", std::string(1000, 'x')}}}), "rapido");
    EXPECT_EQ(EditorModelo::leerChats("rapido")[0]["n"], 199);
    EXPECT_EQ(archivosEnCarpeta(), 1u);
}

TEST_F(ChatsEditorTest, LoQueNoSePuedeEscribirDejaElArchivoAnterior) {
    EditorModelo::escribirChats(muestra, "d1");
    const std::string antes = leer(carpeta() / "d1.json");

    // A text that is not UTF-8: nlohmann refuses to write it.
    json malo = muestra;
    malo[0]["titulo"] = std::string("\xff\xfe");
    ASSERT_THROW((void)malo.dump(), json::type_error);
    EditorModelo::escribirChats(malo, "d1");
    EXPECT_EQ(leer(carpeta() / "d1.json"), antes);

    // Not a list of objects.
    for (const json& otro :
         {json::object({{"a", 1}}), json::array({1, 2}), json::array({json::object(), "x"}), json("texto"), json()}) {
        EditorModelo::escribirChats(otro, "d1");
        EXPECT_EQ(leer(carpeta() / "d1.json"), antes) << otro.dump();
    }
    EXPECT_EQ(archivosEnCarpeta(), 1u) << "no temporary file stays behind";
}

TEST_F(ChatsEditorTest, ArchivosQueNoSonUnaListaDeObjetos) {
    const fs::path archivo = carpeta() / "d1.json";
    for (const std::string& contenido :
         {std::string(R"({"chats":[]})"), std::string("[1,2]"), std::string(R"([{"a":1},2])"),
          std::string(R"([{"a":1},[]])"), std::string("\"texto\""), std::string("null"), std::string("[{\"a\":"),
          std::string(""), std::string("\xff\xfe"), std::string("[{}] basura")}) {
        escribir(archivo, contenido);
        EXPECT_EQ(EditorModelo::leerChats("d1"), json::array()) << contenido;
    }
    escribir(archivo, R"([{"a":1},{}])");
    EXPECT_EQ(EditorModelo::leerChats("d1"), json::parse(R"([{"a":1},{}])"));
    escribir(archivo, " [ ] \n");
    EXPECT_EQ(EditorModelo::leerChats("d1"), json::array());

    // Not a file at all.
    fs::remove(archivo);
    fs::create_directory(archivo);
    EXPECT_EQ(EditorModelo::leerChats("d1"), json::array());
    EditorModelo::escribirChats(muestra, "d1");  // fails quietly
    EXPECT_TRUE(fs::is_directory(archivo));
}

TEST_F(ChatsEditorTest, SinCarpetaNoPasaNada) {
    // The folder's place is taken by a file: nothing can be written or read.
    fs::create_directories(Carpetas::aplicacion());
    escribir(carpeta(), "no soy una carpeta");
    EXPECT_EQ(EditorModelo::archivoChats("d1"), carpeta() / "d1.json");
    EditorModelo::escribirChats(muestra, "d1");
    EXPECT_EQ(EditorModelo::leerChats("d1"), json::array());
    EXPECT_EQ(leer(carpeta()), "no soy una carpeta");
    fs::remove(carpeta());
}

}  // namespace
}  // namespace sorvenia
