// Stands in for the user at the keyring's password prompt:
//   contestador_llavero <contraseña>|--negar
// Offers a prompter on the session bus and prints its bus name (the keyring
// daemon is told to ask there), then answers one password prompt with the
// password, or refuses it. Prints "contestado" once it has answered, or
// "sin pregunta" when none came within a minute, and stays until it is ended
// so that the daemon can close the prompt.
#define GCR_API_SUBJECT_TO_CHANGE
#include <gcr/gcr-base.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string respuesta = argv[1];
    std::printf("%s\n", gcr_mock_prompter_start());
    std::fflush(stdout);
    if (respuesta == "--negar") gcr_mock_prompter_expect_password_cancel();
    else gcr_mock_prompter_expect_password_ok(respuesta.c_str(), nullptr);
    for (int i = 0; i < 600 && gcr_mock_prompter_is_expecting(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::printf(gcr_mock_prompter_is_expecting() ? "sin pregunta\n" : "contestado\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
}
