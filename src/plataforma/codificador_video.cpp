#include "plataforma/codificador_video.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plataforma/fichero_privado.h"

namespace sorvenia {
namespace {

namespace fs = std::filesystem;

Fallo falloApertura() { return Fallo{"No se puede escribir el vídeo.", "video"}; }
Fallo falloCierre() { return Fallo{"El vídeo no se ha cerrado bien.", "video"}; }

struct LiberarFormato {
    void operator()(AVFormatContext* f) const {
        if (f->pb != nullptr) avio_closep(&f->pb);
        avformat_free_context(f);
    }
};
struct LiberarCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct LiberarCuadro {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct LiberarPaquete {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct LiberarEscalador {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// Converters side by side: copying a picture out of its texture converts
// every pixel through floating point (GTK 4.8), which with the colour
// conversion costs a core about 20 ms a frame, more than a frame's share of
// a second at 30 fps once the machine is busy. Half the cores, two to four.
int convertidores() { return static_cast<int>(std::clamp(std::thread::hardware_concurrency() / 2, 2U, 4U)); }

}  // namespace

// The FFmpeg objects and the three stages: the caller queues pictures,
// several converters copy and scale them into the video's pixel format,
// and the encoder takes the converted frames back in order and hands them
// to x264, which encodes several frames at once on threads of its own.
struct CodificadorVideo::Estado {
    AjustesVideo ajustes;
    fs::path temporal;
    std::unique_ptr<AVFormatContext, LiberarFormato> formato;
    std::unique_ptr<AVCodecContext, LiberarCodec> codec;
    std::unique_ptr<AVPacket, LiberarPaquete> paquete;
    AVStream* flujo = nullptr;  // owned by `formato`
    bool renombrado = false;

    using Cuadro = std::unique_ptr<AVFrame, LiberarCuadro>;
    std::mutex cerrojo;
    std::condition_variable hayTrabajo;  // converters and encoder wait here
    std::deque<std::pair<std::int64_t, Fotograma>> cola;
    std::map<std::int64_t, Cuadro> convertidos;
    std::vector<Cuadro> libres;   // frames x264 has copied, for the converters to fill again
    std::int64_t recibidos = 0;   // pictures queued so far
    std::int64_t codificados = 0; // frames handed to the encoder (or dropped after a failure)
    bool fin = false;
    bool parar = false;
    std::optional<Fallo> error;
    std::function<void(bool)> hueco;        // a caller waiting for room
    std::function<void(Hecho)> alTerminar;  // the caller of terminar()
    std::vector<std::thread> hilos;

    Hecho preparar();
    Resultado<Cuadro> convertir(Fotograma& f, std::vector<std::uint8_t>& copia, Cuadro cuadro,
                                std::unique_ptr<SwsContext, LiberarEscalador>& escalador) const;
    Hecho vaciarCodec(AVFrame* cuadro);
    Hecho cerrar();
    void convertirSiempre();
    void codificarSiempre();
    void fallar(Fallo f) {
        if (!error) error = std::move(f);
    }
};

Hecho CodificadorVideo::Estado::preparar() {
    AVFormatContext* crudo = nullptr;
    if (avformat_alloc_output_context2(&crudo, nullptr, "mp4", temporal.c_str()) < 0 || crudo == nullptr)
        return falloApertura();
    formato.reset(crudo);
    const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
    if (h264 == nullptr) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (h264 == nullptr) return falloApertura();
    flujo = avformat_new_stream(formato.get(), nullptr);
    codec.reset(avcodec_alloc_context3(h264));
    paquete.reset(av_packet_alloc());
    if (flujo == nullptr || !codec || !paquete) return falloApertura();
    AVCodecContext* c = codec.get();
    c->width = ajustes.ancho;
    c->height = ajustes.alto;
    c->time_base = AVRational{1, ajustes.fps};
    c->framerate = AVRational{ajustes.fps, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;  // what every player decodes
    c->bit_rate = ajustes.tasaBits;
    if ((formato->oformat->flags & AVFMT_GLOBALHEADER) != 0) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Designs are flat colours and text: a fast preset keeps recording
    // quicker than real time at this bit rate without visible loss.
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    // x264 chooses its number of frame threads from the cores.
    c->thread_count = 0;
    if (avcodec_open2(c, h264, nullptr) < 0) return falloApertura();
    if (avcodec_parameters_from_context(flujo->codecpar, c) < 0) return falloApertura();
    flujo->time_base = c->time_base;
    flujo->avg_frame_rate = c->framerate;
    if (avio_open(&formato->pb, temporal.c_str(), AVIO_FLAG_WRITE) < 0) return falloApertura();
    // The index goes first, so a browser plays the file before it has it all.
    AVDictionary* opciones = nullptr;
    av_dict_set(&opciones, "movflags", "+faststart", 0);
    const int r = avformat_write_header(formato.get(), &opciones);
    av_dict_free(&opciones);
    return r < 0 ? Hecho(falloApertura()) : hecho();
}

Hecho CodificadorVideo::Estado::vaciarCodec(AVFrame* entrada) {
    if (avcodec_send_frame(codec.get(), entrada) < 0) return falloCierre();
    for (;;) {
        const int r = avcodec_receive_packet(codec.get(), paquete.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return hecho();
        if (r < 0) return falloCierre();
        av_packet_rescale_ts(paquete.get(), codec->time_base, flujo->time_base);
        paquete->stream_index = flujo->index;
        const int escrito = av_interleaved_write_frame(formato.get(), paquete.get());
        av_packet_unref(paquete.get());
        if (escrito < 0) return falloCierre();
    }
}

// The picture scaled and converted into `cuadro` (a fresh frame when it is
// null). Pixels still in their texture are copied into `copia`, which the
// converter keeps from frame to frame.
Resultado<CodificadorVideo::Estado::Cuadro> CodificadorVideo::Estado::convertir(
    Fotograma& f, std::vector<std::uint8_t>& copia, Cuadro cuadro,
    std::unique_ptr<SwsContext, LiberarEscalador>& escalador) const {
    const bool filas = f.ancho > 0 && f.alto > 0 && f.paso >= static_cast<std::size_t>(f.ancho) * 4;
    const std::size_t tamano = f.paso * static_cast<std::size_t>(std::max(f.alto, 0));
    const std::uint8_t* pixeles = nullptr;
    if (f.rellenar && filas) {
        if (copia.size() < tamano) copia.resize(tamano);
        f.rellenar(copia.data(), f.paso);
        f.rellenar = nullptr;  // what it holds goes now, not with the queue
        pixeles = copia.data();
    } else if (filas && f.bytes.size() >= tamano) {
        pixeles = f.bytes.data();
    } else {
        return falloCierre();
    }
    escalador.reset(sws_getCachedContext(escalador.release(), f.ancho, f.alto, AV_PIX_FMT_BGRA, ajustes.ancho,
                                         ajustes.alto, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                                         nullptr));
    if (!cuadro) {
        cuadro.reset(av_frame_alloc());
        if (!cuadro) return falloCierre();
        cuadro->format = AV_PIX_FMT_YUV420P;
        cuadro->width = ajustes.ancho;
        cuadro->height = ajustes.alto;
        if (av_frame_get_buffer(cuadro.get(), 0) < 0) return falloCierre();
    }
    // A frame given back may still be referenced inside the codec; then it
    // gets buffers of its own instead of being written over.
    if (!escalador || av_frame_make_writable(cuadro.get()) < 0) return falloCierre();
    const std::uint8_t* origen[1] = {pixeles};
    const int pasos[1] = {static_cast<int>(f.paso)};
    sws_scale(escalador.get(), origen, pasos, 0, f.alto, cuadro->data, cuadro->linesize);
    return cuadro;
}

Hecho CodificadorVideo::Estado::cerrar() {
    if (const Hecho vaciado = vaciarCodec(nullptr); !vaciado) return vaciado;
    if (av_write_trailer(formato.get()) < 0) return falloCierre();
    if (avio_closep(&formato->pb) < 0) return falloCierre();
    std::lock_guard bloqueo(cerrojo);
    if (parar) return falloCierre();  // given up meanwhile: the file stays away
    std::error_code ec;
    fs::rename(temporal, ajustes.destino, ec);
    if (ec) return falloCierre();
    renombrado = true;
    return hecho();
}

void CodificadorVideo::Estado::convertirSiempre() {
    std::unique_ptr<SwsContext, LiberarEscalador> escalador;
    std::vector<std::uint8_t> copia;
    for (;;) {
        std::unique_lock bloqueo(cerrojo);
        // Converted frames wait for the encoder at most `capacidad` deep.
        hayTrabajo.wait(bloqueo, [&] { return parar || fin || (!cola.empty() && convertidos.size() < capacidad); });
        if (parar || cola.empty()) return;
        auto [orden, f] = std::move(cola.front());
        cola.pop_front();
        Cuadro usado;
        if (!libres.empty()) {
            usado = std::move(libres.back());
            libres.pop_back();
        }
        auto esperando = std::exchange(hueco, {});
        bloqueo.unlock();
        if (esperando) esperando(true);
        auto cuadro = convertir(f, copia, std::move(usado), escalador);
        bloqueo.lock();
        if (!cuadro) fallar(cuadro.fallo());
        convertidos.emplace(orden, cuadro ? std::move(*cuadro) : nullptr);
        hayTrabajo.notify_all();
    }
}

void CodificadorVideo::Estado::codificarSiempre() {
    for (;;) {
        std::unique_lock bloqueo(cerrojo);
        hayTrabajo.wait(bloqueo, [&] {
            return parar || convertidos.contains(codificados) || (fin && codificados == recibidos);
        });
        if (parar) return;
        if (codificados == recibidos) {  // fin: everything queued has been encoded
            const std::optional<Fallo> previo = error;
            bloqueo.unlock();
            Hecho cerrado = previo ? Hecho(*previo) : cerrar();
            bloqueo.lock();
            auto listo = std::exchange(alTerminar, {});
            bloqueo.unlock();
            if (listo) listo(std::move(cerrado));
            return;
        }
        auto nodo = convertidos.extract(codificados);
        const bool fallado = error.has_value();
        hayTrabajo.notify_all();  // a converter may be waiting for room
        bloqueo.unlock();
        Hecho h = hecho();
        if (!fallado && nodo.mapped()) {
            nodo.mapped()->pts = codificados;
            h = vaciarCodec(nodo.mapped().get());
        }
        bloqueo.lock();
        ++codificados;
        if (!h) fallar(h.fallo());
        // x264 has taken its own copy of the picture.
        if (nodo.mapped() && libres.size() < capacidad) libres.push_back(std::move(nodo.mapped()));
    }
}

CodificadorVideo::CodificadorVideo(std::shared_ptr<Estado> estado) : estado_(std::move(estado)) {}

Resultado<std::unique_ptr<CodificadorVideo>> CodificadorVideo::abrir(AjustesVideo ajustes) {
    static std::once_flag silencio;
    std::call_once(silencio, [] { av_log_set_level(AV_LOG_ERROR); });
    if (ajustes.ancho < 2 || ajustes.alto < 2 || ajustes.ancho % 2 != 0 || ajustes.alto % 2 != 0 ||
        ajustes.fps < 1 || ajustes.tasaBits < 1 || ajustes.destino.filename().empty())
        return falloApertura();
    auto estado = std::make_shared<Estado>();
    estado->temporal = temporalJunto(ajustes.destino);
    estado->ajustes = std::move(ajustes);
    if (Hecho listo = estado->preparar(); !listo) {
        estado->formato.reset();
        ::unlink(estado->temporal.c_str());
        return listo.fallo();
    }
    for (int i = 0; i < convertidores(); ++i) estado->hilos.emplace_back([e = estado.get()] { e->convertirSiempre(); });
    estado->hilos.emplace_back([e = estado.get()] { e->codificarSiempre(); });
    return std::unique_ptr<CodificadorVideo>(new CodificadorVideo(std::move(estado)));
}

CodificadorVideo::~CodificadorVideo() {
    std::deque<std::pair<std::int64_t, Fotograma>> pendientes;  // their textures are let go here
    {
        std::lock_guard bloqueo(estado_->cerrojo);
        estado_->parar = true;
        pendientes.swap(estado_->cola);
    }
    estado_->hayTrabajo.notify_all();
    // A converter or the encoder may be half-way through a frame, and x264
    // waits for its own threads when it is closed: a cancelled recording
    // waits for them on a worker, not on the caller's thread.
    enTrabajador([estado = std::move(estado_)] {
        for (std::thread& h : estado->hilos) h.join();
        estado->formato.reset();
        if (!estado->renombrado) ::unlink(estado->temporal.c_str());
    });
}

Tarea<Hecho> CodificadorVideo::anadir(Fotograma fotograma) {
    const auto estado = estado_;
    for (;;) {
        {
            std::lock_guard bloqueo(estado->cerrojo);
            if (estado->error) co_return *estado->error;
            if (estado->cola.size() < capacidad) {
                estado->cola.emplace_back(estado->recibidos++, std::move(fotograma));
                estado->hayTrabajo.notify_all();
                co_return hecho();
            }
        }
        co_await conRetrollamada<bool>([estado](std::function<void(bool)> listo) {
            std::unique_lock bloqueo(estado->cerrojo);
            if (estado->cola.size() < capacidad) {
                bloqueo.unlock();
                listo(true);
                return;
            }
            estado->hueco = std::move(listo);
        });
    }
}

Tarea<Hecho> CodificadorVideo::terminar() {
    const auto estado = estado_;
    co_return co_await conRetrollamada<Hecho>([estado](std::function<void(Hecho)> listo) {
        {
            std::lock_guard bloqueo(estado->cerrojo);
            estado->alTerminar = std::move(listo);
            estado->fin = true;
        }
        estado->hayTrabajo.notify_all();
    });
}

}  // namespace sorvenia
