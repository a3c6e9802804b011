// A stand-in agent for the chat latency benchmark: writes `n` lines of
// claude's stream JSON, one text piece each, `intervalo` microseconds apart;
// each text holds the wall-clock time (microseconds since the epoch) at
// which its line was written. Ends with a result line.
//
//   agente_eventos <n> <intervalo>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const long n = std::strtol(argv[1], nullptr, 10);
    const auto intervalo = std::chrono::microseconds(std::strtol(argv[2], nullptr, 10));
    for (long i = 0; i < n; ++i) {
        const auto ahora = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        const std::string linea =
            R"({"type":"stream_event","event":{"type":"content_block_delta","index":0,"delta":{"type":"text_delta","text":"t)" +
            std::to_string(ahora) + R"("}},"session_id":"banco"})" + "\n";
        if (write(STDOUT_FILENO, linea.data(), linea.size()) != static_cast<ssize_t>(linea.size())) return 1;
        std::this_thread::sleep_for(intervalo);
    }
    const std::string fin = R"({"type":"result","subtype":"success","result":"fin","session_id":"banco"})" "\n";
    return write(STDOUT_FILENO, fin.data(), fin.size()) == static_cast<ssize_t>(fin.size()) ? 0 : 1;
}
