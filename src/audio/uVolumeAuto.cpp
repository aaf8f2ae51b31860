#include "audio/uVolumeAuto.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <unordered_set>

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

TVolumeAuto::TVolumeAuto(std::function<double(const std::string&)> AMedir, TAoMedir AAoMedir)
    : FMedir(AMedir ? std::move(AMedir) : [](const std::string& A) { return MedirLoudness(A); }),
      FAoMedir(std::move(AAoMedir)),
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
            FMedidas.emplace(e.Chave, TMedida{*valor, partes[0]});
        }
    }
}

void TVolumeAuto::Analisar(const std::vector<std::string>& AArquivos) {
    {
        std::lock_guard trava(FTrava);
        // A set beside the queue: a list of thousands must not be searched
        // once per file. Views stay valid: deque elements never move.
        std::unordered_set<std::string_view> naFila(FFila.begin(), FFila.end());
        for (const auto& a : AArquivos) {
            if (!FMedidas.contains(a) && naFila.insert(a).second) {
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
            return it->second.Valor;
        }
    }
    return Medir(AArquivo);
}

std::optional<double> TVolumeAuto::Medida(const std::string& AArquivo) {
    std::lock_guard trava(FTrava);
    auto it = FMedidas.find(AArquivo);
    if (it == FMedidas.end()) {
        return std::nullopt;
    }
    return it->second.Valor;
}

bool TVolumeAuto::JaAnalisado(const std::string& AArquivo) {
    std::lock_guard trava(FTrava);
    return FMedidas.contains(AArquivo);
}

std::size_t TVolumeAuto::Pendentes() {
    std::lock_guard trava(FTrava);
    return FFila.size();
}

double TVolumeAuto::Medir(const std::string& AArquivo) {
    TMedida medida;
    medida.Assinatura = AssinaturaArquivo(AArquivo);
    medida.Valor = FMedir(AArquivo);
    const double valor = medida.Valor;
    TTrava trava(FTrava);
    FMedidas[AArquivo] = std::move(medida);
    RetirarDaFila(trava, AArquivo);
    FAlterado = true;
    return valor;
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
                const double valor = Medir(arquivo);
                if (FAoMedir) {
                    FAoMedir(arquivo, valor);
                }
                trava.lock();
            }
            if (++tratados >= 20) {
                trava.unlock();
                SalvarCache();
                trava.lock();
                tratados = 0;
            }
            continue;
        }
        if (tratados > 0) {
            trava.unlock();
            SalvarCache();
            trava.lock();
            tratados = 0;
            continue;  // the queue may have filled meanwhile
        }
        FSinal.wait(trava, [this] { return FSinalizado; });
        FSinalizado = false;
    }
}

void TVolumeAuto::SalvarCache() {
    // The table is copied under the lock and written outside it, so the main
    // thread never waits on the disk; saves are serialised, so an older copy
    // never lands after a newer one.
    std::lock_guard gravando(FTravaArquivo);
    std::vector<std::pair<std::string, TMedida>> ordem;
    {
        std::lock_guard trava(FTrava);
        if (!FAlterado) {
            return;
        }
        ordem.assign(FMedidas.begin(), FMedidas.end());
        FAlterado = false;
    }
    try {
        auto bytes = LerArquivoBytes(FArquivoCache);
        TArquivoIni ini = bytes ? TArquivoIni::Interpretar(*bytes, true) : TArquivoIni(true);
        ini.RemoverSecao(kSecao);
        // Written in path order, so the file reads the same from run to run.
        std::sort(ordem.begin(), ordem.end(), [](const auto& A, const auto& B) {
            return A.first < B.first;
        });
        for (const auto& [arquivo, medida] : ordem) {
            ini.Escrever(
                kSecao, arquivo, medida.Assinatura + "|" + FormatarDecimal(medida.Valor, 2, 2));
        }
        GravarArquivoAtomico(FArquivoCache, std::string(kBomUtf8) + ini.Texto());
    } catch (...) {
        std::lock_guard trava(FTrava);
        FAlterado = true;  // tried again at the next save point
    }
}

}  // namespace ljsn
