#pragma once
// An H.264 video in an MP4 file, made from pictures handed over one by one.
// FFmpeg's libraries do the work (libx264 through libavcodec, the MP4
// container through libavformat, the colour conversion and scaling through
// libswscale) on a worker thread of the encoder's own, so the caller's
// thread only queues pictures.
//
// Nothing appears under the destination's name until the video is whole:
// the file is written under a hidden temporary name beside it and renamed
// when it is closed. An encoder dropped before terminar() (a cancelled or
// failed recording) leaves the destination as it was; its threads are
// stopped and its temporary file removed on a worker, moments later.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "plataforma/resultado.h"
#include "plataforma/tarea.h"

namespace sorvenia {

struct AjustesVideo {
    std::filesystem::path destino;
    int ancho = 0;  // the video's size in pixels, both even
    int alto = 0;
    int fps = 30;
    std::int64_t tasaBits = 0;  // average bits per second
};

// One picture: rows of 8-bit blue, green, red, alpha (premultiplied), the
// layout GDK downloads textures in. Any size: it is scaled to the video's.
// The pixels are either in `bytes` or written by `rellenar` (into a buffer
// of the encoder's, `paso` x `alto`) on the encoder's thread, which takes a
// copy of the picture off the caller's thread.
struct Fotograma {
    std::vector<std::uint8_t> bytes;
    int ancho = 0;
    int alto = 0;
    std::size_t paso = 0;  // bytes per row
    std::function<void(std::uint8_t* destino, std::size_t paso)> rellenar;
};

class CodificadorVideo {
public:
    // Pictures queued at most; anadir() waits while this many are waiting.
    static constexpr std::size_t capacidad = 6;

    // Opens the temporary file and the encoder, and starts the worker. Fails
    // with "No se puede escribir el vídeo." (code "video").
    static Resultado<std::unique_ptr<CodificadorVideo>> abrir(AjustesVideo ajustes);

    // Stops the threads without waiting for them; unless terminar()
    // succeeded, the temporary file is removed once they have stopped.
    ~CodificadorVideo();
    CodificadorVideo(const CodificadorVideo&) = delete;
    CodificadorVideo& operator=(const CodificadorVideo&) = delete;

    // Queues the next picture (shown for 1/fps s). Waits without blocking
    // the main thread while the queue is full; a failure of the encoder so
    // far is returned instead.
    Tarea<Hecho> anadir(Fotograma fotograma);

    // Encodes what is queued, closes the file and gives it its final name
    // (replacing a file of that name). Fails with "El vídeo no se ha cerrado
    // bien." (code "video"), or the earlier failure.
    Tarea<Hecho> terminar();

    struct Estado;

private:
    explicit CodificadorVideo(std::shared_ptr<Estado> estado);
    std::shared_ptr<Estado> estado_;
};

}  // namespace sorvenia
