#include "audio/uVolumeAuto.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ambiente/uPastas.h"
#include "audio/uLoudness.h"
#include "comum/uArquivoTexto.h"
#include "comum/uFormato.h"
#include "comum/uIni.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

constexpr const char* kSecao = "Loudness";

// The worker yields to everything else: decoding must never disturb playback.
void BaixarPrioridade() {
    sched_param parametro{};
    if (::sched_setscheduler(0, SCHED_IDLE, &parametro) != 0) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    }
}

}  // namespace

std::string AssinaturaArquivo(const std::string& ACaminho) {
    struct stat info {};
    if (::stat(ACaminho.c_str(), &info) != 0) {
        return {};
    }
    // The file system's 64-bit time in 100 ns since 1601, as the cache keeps it.
    const std::int64_t tempo =
        (static_cast<std::int64_t>(info.st_mtim.tv_sec) + 11644473600LL) * 10000000LL +
        info.st_mtim.tv_nsec / 100;
    const auto tamanho = static_cast<std::uint64_t>(info.st_size);
    return FormatarOuFormato("%d.%d.%d",
                             static_cast<std::int32_t>(static_cast<std::uint32_t>(tamanho)),
                             static_cast<std::int32_t>(static_cast<std::uint32_t>(
                                 static_cast<std::uint64_t>(tempo) >> 32)),
                             static_cast<std::int32_t>(static_cast<std::uint32_t>(tempo)));
}

double AjusteVolumeDb(double AReferencia, double ALoudness) {
    if (AReferencia <= -999 || ALoudness <= -999) {
        return 0;
    }
    return std::clamp(AReferencia - ALoudness, -15.0, 10.0);
}

double DbParaFator(double ADb) {
    return std::pow(10.0, ADb / 20.0);
}

TVolumeAuto::TVolumeAuto(std::function<double(const std::string&)> AMedir)
    : FMedir(AMedir ? std::move(AMedir) : [](const std::string& A) { return MedirLoudness(A); }),
      FArquivoCache(PastaDados() + "volumes.ini") {
    CarregarCache();
    FThread = std::thread([this] { Trabalhar(); });
}

TVolumeAuto::~TVolumeAuto() {
    {
        std::lock_guard trava(FTrava);
        FEncerrar = true;
        FSinalizado = true;
    }
    FSinal.notify_all();
    FThread.join();
    SalvarCache();
}

void TVolumeAuto::CarregarCache() {
    const auto bytes = LerArquivoBytes(FArquivoCache);
    if (!bytes) {
        return;
    }
    const TArquivoIni ini = TArquivoIni::Interpretar(*bytes, true);
    const TArquivoIni::TSecao* secao = ini.Secao(kSecao);
    if (secao == nullptr) {
        return;
    }
    std::lock_guard trava(FTrava);
    for (const auto& e : secao->Entradas) {
        const auto partes = Dividir(e.Valor, "|");
        if (partes.size() != 2 || partes[0] != AssinaturaArquivo(e.Chave)) {
            continue;  // changed, replaced or gone: measured again
        }
        if (const auto valor = LerDecimal(partes[1])) {
            FMedidas.emplace(e.Chave, *valor);
        }
    }
}

void TVolumeAuto::Analisar(const std::vector<std::string>& AArquivos) {
    {
        std::lock_guard trava(FTrava);
        for (const auto& a : AArquivos) {
            if (!FMedidas.contains(a) && std::find(FFila.begin(), FFila.end(), a) == FFila.end()) {
                FFila.push_back(a);
            }
        }
        FSinalizado = true;
    }
    FSinal.notify_all();
}

void TVolumeAuto::Priorizar(const std::string& AArquivo) {
    {
        std::lock_guard trava(FTrava);
        if (FMedidas.contains(AArquivo)) {
            return;
        }
        std::erase(FFila, AArquivo);
        FFila.push_front(AArquivo);
        FSinalizado = true;
    }
    FSinal.notify_all();
}

double TVolumeAuto::Loudness(const std::string& AArquivo) {
    {
        std::lock_guard trava(FTrava);
        auto it = FMedidas.find(AArquivo);
        if (it != FMedidas.end()) {
            return it->second;
        }
    }
    const double valor = FMedir(AArquivo);
    GuardarMedida(AArquivo, valor);
    return valor;
}

bool TVolumeAuto::JaAnalisado(const std::string& AArquivo) {
    std::lock_guard trava(FTrava);
    return FMedidas.contains(AArquivo);
}

std::size_t TVolumeAuto::Pendentes() {
    std::lock_guard trava(FTrava);
    return FFila.size();
}

void TVolumeAuto::GuardarMedida(const std::string& AArquivo, double AValor) {
    TTrava trava(FTrava);
    FMedidas[AArquivo] = AValor;
    RetirarDaFila(trava, AArquivo);
    FAlterado = true;
}

void TVolumeAuto::RetirarDaFila(const TTrava& ATrava, const std::string& AArquivo) {
    (void)ATrava;
    std::erase(FFila, AArquivo);
}

void TVolumeAuto::Trabalhar() {
    BaixarPrioridade();
    int tratados = 0;
    TTrava trava(FTrava);
    while (!FEncerrar) {
        if (!FFila.empty()) {
            const std::string arquivo = FFila.front();
            if (FMedidas.contains(arquivo)) {
                RetirarDaFila(trava, arquivo);
            } else {
                // The file stays first in the queue while it is measured.
                trava.unlock();
                const double valor = FMedir(arquivo);
                GuardarMedida(arquivo, valor);
                trava.lock();
            }
            if (++tratados >= 20) {
                SalvarCache(trava);
                tratados = 0;
            }
            continue;
        }
        if (tratados > 0) {
            SalvarCache(trava);
            tratados = 0;
        }
        FSinal.wait(trava, [this] { return FSinalizado; });
        FSinalizado = false;
    }
}

void TVolumeAuto::SalvarCache() {
    TTrava trava(FTrava);
    SalvarCache(trava);
}

void TVolumeAuto::SalvarCache(const TTrava& ATrava) {
    (void)ATrava;
    if (!FAlterado) {
        return;
    }
    try {
        auto bytes = LerArquivoBytes(FArquivoCache);
        TArquivoIni ini = bytes ? TArquivoIni::Interpretar(*bytes, true) : TArquivoIni(true);
        ini.RemoverSecao(kSecao);
        // Written in path order, so the file reads the same from run to run.
        std::vector<std::pair<std::string, double>> ordem(FMedidas.begin(), FMedidas.end());
        std::sort(ordem.begin(), ordem.end());
        for (const auto& [arquivo, valor] : ordem) {
            ini.Escrever(
                kSecao, arquivo, AssinaturaArquivo(arquivo) + "|" + FormatarDecimal(valor, 2, 2));
        }
        GravarArquivoAtomico(FArquivoCache, std::string(kBomUtf8) + ini.Texto());
        FAlterado = false;
    } catch (...) {  // NOLINT(bugprone-empty-catch): retried at the next save point
    }
}

}  // namespace ljsn
