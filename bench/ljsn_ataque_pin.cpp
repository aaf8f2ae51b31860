// Guesses the phone PIN of a running program the way an attacker on the
// shop's network would: many threads, each request from the next of many
// loopback addresses (Linux routes all of 127/8 to the loopback), while the
// shop's phone, which knows the PIN, polls from 127.0.0.1. Prints how many
// guesses the server checked and refused, and the expected time to find a
// six-digit PIN at the rate of checked guesses.
//
//   ljsn-ataque-pin PORTA PIN SEGUNDOS [THREADS=16] [ENDERECOS=1000]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace {

std::string Loopback(int AN) {
    return "127." + std::to_string(AN / 65536 % 256) + "." + std::to_string(AN / 256 % 256) + "." +
           std::to_string(AN % 256);
}

std::string TextoTempo(double ASegundos) {
    char texto[64];
    if (ASegundos < 120) {
        std::snprintf(texto, sizeof texto, "%.1f s", ASegundos);
    } else if (ASegundos < 3 * 3600) {
        std::snprintf(texto, sizeof texto, "%.1f min", ASegundos / 60);
    } else if (ASegundos < 3 * 86400) {
        std::snprintf(texto, sizeof texto, "%.1f h", ASegundos / 3600);
    } else {
        std::snprintf(texto, sizeof texto, "%.1f dias", ASegundos / 86400);
    }
    return texto;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "uso: %s PORTA PIN SEGUNDOS [THREADS] [ENDERECOS]\n", argv[0]);
        return 2;
    }
    const int porta = std::atoi(argv[1]);
    const std::string pin = argv[2];
    const int segundos = std::atoi(argv[3]);
    const int threads = argc > 4 ? std::atoi(argv[4]) : 16;
    const int enderecos = argc > 5 ? std::atoi(argv[5]) : 1000;
    const auto fim = std::chrono::steady_clock::now() + std::chrono::seconds(segundos);

    std::atomic<long> conferidos{0};  // 403: the server looked at the guess
    std::atomic<long> recusados{0};   // 429: refused unseen
    std::atomic<long> acertos{0};
    std::atomic<long> outros{0};
    std::atomic<long> proximo{0};
    std::vector<std::thread> atacantes;
    for (int t = 0; t < threads; ++t) {
        atacantes.emplace_back([&] {
            while (std::chrono::steady_clock::now() < fim) {
                const long n = proximo++;
                httplib::Client c("127.0.0.1", porta);
                c.set_interface(Loopback(2 + static_cast<int>(n % enderecos)));
                c.set_read_timeout(10, 0);
                char palpite[16];
                std::snprintf(palpite, sizeof palpite, "%06ld", n % 1000000);
                auto r = c.Post(
                    "/api/estado", httplib::Headers{{"X-Pin", palpite}}, "{}", "application/json");
                const int status = r ? r->status : 0;
                (status == 403   ? conferidos
                 : status == 429 ? recusados
                 : status == 200 ? acertos
                                 : outros)++;
            }
        });
    }
    long celularOk = 0;
    long celularFalhou = 0;
    while (std::chrono::steady_clock::now() < fim) {
        httplib::Client c("127.0.0.1", porta);
        c.set_read_timeout(10, 0);
        auto r = c.Post("/api/estado", httplib::Headers{{"X-Pin", pin}}, "{}", "application/json");
        (r && r->status == 200 ? celularOk : celularFalhou)++;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    for (auto& t : atacantes) {
        t.join();
    }
    const long tentativas = conferidos + recusados + acertos + outros;
    const double porSegundo = static_cast<double>(conferidos + acertos) / segundos;
    std::printf("%d s, %d threads, %d enderecos: %ld pedidos (%.0f/s)\n",
                segundos,
                threads,
                enderecos,
                tentativas,
                static_cast<double>(tentativas) / segundos);
    std::printf(
        "  PIN conferido: %ld (%.2f/s) | recusado sem conferir (429): %ld | acertos: %ld | "
        "sem resposta ou outro: %ld\n",
        conferidos.load() + acertos.load(),
        porSegundo,
        recusados.load(),
        acertos.load(),
        outros.load());
    std::printf(
        "  celular que sabe o PIN: %ld respondidos, %ld sem resposta\n", celularOk, celularFalhou);
    // A PIN drawn at random is found, on average, after half the space.
    if (porSegundo > 0) {
        std::printf("  tempo esperado para achar um PIN de 6 digitos: %s\n",
                    TextoTempo(500000.0 / porSegundo).c_str());
    }
    return 0;
}
