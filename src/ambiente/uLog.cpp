#include "ambiente/uLog.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "comum/uVerificar.h"

namespace fs = std::filesystem;

namespace ljsn {

namespace {

std::atomic<bool>& EcoNaSaida() {
    static std::atomic<bool> eco{false};
    return eco;
}

std::mutex& TravaLog() {
    static std::mutex trava;
    return trava;
}

std::function<double()>& FonteHora() {
    static std::function<double()> fonte;
    return fonte;
}

double HoraAtual() {
    std::function<double()> fonte;
    {
        std::lock_guard trava(TravaLog());
        fonte = FonteHora();
    }
    return fonte ? fonte() : TRelogioSistema().Agora();
}

bool EscreverTudo(int AFd, std::string_view ABytes) {
    while (!ABytes.empty()) {
        const ssize_t n = ::write(AFd, ABytes.data(), ABytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        ABytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

void DefinirHoraDoLog(std::function<double()> AFonte) {
    std::lock_guard trava(TravaLog());
    FonteHora() = std::move(AFonte);
}

std::string LimparParaLog(std::string_view ATexto) {
    // One event per line, always valid UTF-8: a file name with a line break
    // or a spoken text with an escape sequence must not break the file.
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const auto c = static_cast<unsigned char>(ATexto[i]);
        if (c < 0x80) {
            r += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t n = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 2;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4;
            cp = c & 0x07u;
        }
        bool valido = n > 0 && i + n <= ATexto.size();
        for (std::size_t k = 1; valido && k < n; ++k) {
            const auto b = static_cast<unsigned char>(ATexto[i + k]);
            valido = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        valido = valido && !(n == 3 && cp < 0x800) &&
                 !(n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!valido) {
            r += "\xEF\xBF\xBD";  // U+FFFD for each byte that starts nothing valid
            ++i;
            continue;
        }
        // C1 controls, and the marks that reorder or break what follows them
        // (bidirectional overrides and isolates, line and paragraph separators).
        if ((cp >= 0x80 && cp <= 0x9F) || cp == 0x200E || cp == 0x200F || cp == 0x2028 ||
            cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069)) {
            r += ' ';
        } else {
            r.append(ATexto.substr(i, n));
        }
        i += n;
    }
    return r;
}

std::string MontarLinhaLog(double ADataHora, std::string_view ACategoria, std::string_view ATexto) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    const std::string carimbo = FormatarOuFormato("%.4d-%.2d-%.2d %.2d:%.2d:%.2d.%.3d",
                                                  d.Ano,
                                                  d.Mes,
                                                  d.Dia,
                                                  d.Hora,
                                                  d.Minuto,
                                                  d.Segundo,
                                                  d.Milissegundo);
    std::string etiqueta = "[";
    etiqueta += LimparParaLog(ACategoria);
    etiqueta += ']';
    const std::size_t largura = ContarCaracteres(etiqueta);
    if (largura < 10) {
        etiqueta.append(10 - largura, ' ');
    }
    // A runaway text (a huge feed title, a pasted document) costs one short
    // line, not megabytes.
    constexpr std::size_t kBytesOlhados = kMaxCaracteresLog * 4 + 8;
    std::string texto = LimparParaLog(
        SubstituirTudo(ATexto.substr(0, std::min(ATexto.size(), kBytesOlhados)), "\r\n", " | "));
    if (ATexto.size() > kBytesOlhados || ContarCaracteres(texto) > kMaxCaracteresLog) {
        texto = PrimeirosCaracteres(texto, kMaxCaracteresLog) + "…";
    }
    return carimbo + "  " + etiqueta + " " + texto;
}

std::string NomeArquivoLog(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    return FormatarOuFormato("LojaSonorante_%.4d-%.2d-%.2d.log", d.Ano, d.Mes, d.Dia);
}

void DefinirEcoNaSaida(bool AEco) {
    EcoNaSaida().store(AEco);
}

void GravarLog(std::string_view ACategoria, std::string_view ATexto) {
    try {
        const double agora = HoraAtual();
        const std::string linha = MontarLinhaLog(agora, ACategoria, ATexto) + "\r\n";
        std::lock_guard trava(TravaLog());
        if (EcoNaSaida().load(std::memory_order_relaxed)) {
            // The terminal and the journal get the line too, even when the
            // log folder cannot be written.
            EscreverTudo(STDOUT_FILENO, linha.substr(0, linha.size() - 2) + "\n");
        }
        const std::string pasta = PastaLogs();
        std::error_code erro;
        fs::create_directories(pasta, erro);
        const std::string caminho = ComBarra(pasta) + NomeArquivoLog(agora);
        const int fd = ::open(caminho.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            return;
        }
        struct stat info {};
        const bool medido = ::fstat(fd, &info) == 0;
        const bool escrito =
            (!medido || info.st_size != 0 || EscreverTudo(fd, kBomUtf8)) && EscreverTudo(fd, linha);
        if (!escrito && medido) {
            // A full disk takes part of a line: cut it off, so the next line
            // that fits does not start in the middle of this one.
            [[maybe_unused]] const int r = ::ftruncate(fd, info.st_size);
        }
        ::close(fd);
    } catch (...) {  // NOLINT(bugprone-empty-catch): the log never raises to its caller
    }
}

void LimparLogsAntigos() {
    LimparLogsAntigos(std::time(nullptr));
}

void LimparLogsAntigos(std::time_t AAgora) {
    try {
        const std::time_t limite = AAgora - 720 * 3600;
        for (const auto& entrada : fs::directory_iterator(PastaLogs())) {
            const std::string nome = entrada.path().filename().string();
            if (!entrada.is_regular_file() || !ComecaCom(nome, "LojaSonorante_") ||
                !TerminaCom(nome, ".log")) {
                continue;
            }
            struct stat info {};
            if (::stat(entrada.path().c_str(), &info) != 0) {
                return;
            }
            if (info.st_mtim.tv_sec < limite) {
                fs::remove(entrada.path());
            }
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): the first error ends the purge silently
    }
}

void InstalarRelatorDeFalhas() {
    DefinirRelatorDeFalhas([](const std::string& ATexto) { GravarLog("ERRO", ATexto); });
}

}  // namespace ljsn
