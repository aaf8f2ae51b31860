#include "locutor/voz/uVozEspeak.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

// ---------------------------------------------------------------- tokens

struct TVariante {
    const char* Arquivo;
    const char* Nome;
};

// The Brazilian voice's variants offered as voices of their own.
constexpr std::array<TVariante, 18> kVariantesBrasil = {{
    {"f1", "Feminina 1"},
    {"f2", "Feminina 2"},
    {"f3", "Feminina 3"},
    {"f4", "Feminina 4"},
    {"f5", "Feminina 5"},
    {"m1", "Masculina 1"},
    {"m2", "Masculina 2"},
    {"m3", "Masculina 3"},
    {"m4", "Masculina 4"},
    {"m5", "Masculina 5"},
    {"m6", "Masculina 6"},
    {"m7", "Masculina 7"},
    {"henrique", "Henrique"},
    {"marcelo", "Marcelo"},
    {"diogo", "Diogo"},
    {"miguel", "Miguel"},
    {"pedro", "Pedro"},
    {"sandro", "Sandro"},
}};

constexpr const char* kDescricaoBrasil = "Português (Brasil)";

// ------------------------------------------------------- the synthesizer

// What one Falar asked for, and how it went. The job is owned jointly by the
// voice that asked and the synthesizer thread.
struct TPedidoFala {
    std::string Texto;
    std::string Voz;
    int Taxa = 0;
    int Volume = 100;
    int Tom = 0;
    ICanalFala* Canal = nullptr;
    std::atomic<bool> Cancelado{false};
    std::atomic<bool> Produzido{false};
    std::atomic<bool> Erro{false};
    std::atomic<std::uint64_t> Fim{0};  // speech frame count the job ends at
};

struct TLiberarConversor {
    void operator()(SwrContext* AContexto) const { swr_free(&AContexto); }
};

// One thread owns espeak-ng: it is initialised there and every call into it
// is made there.
class TSintetizador {
  public:
    static TSintetizador& Instancia() {
        static TSintetizador s;
        return s;
    }

    // True when espeak's data lists voices; whether it then synthesizes is
    // known at the first text.
    bool Disponivel() {
        std::unique_lock trava(FTrava);
        FSinal.wait(trava, [this] { return FIniciado; });
        return !FTokens.empty();
    }
    std::vector<TTokenVoz> Tokens() {
        Disponivel();
        std::lock_guard trava(FTrava);
        return FTokens;
    }
    void Enviar(std::shared_ptr<TPedidoFala> APedido) {
        {
            std::lock_guard trava(FTrava);
            FPedidos.push_back(std::move(APedido));
        }
        FSinal.notify_all();
    }
    // Stops a job and withdraws what of it the speech channel still holds.
    // The synthesizer writes only under FTravaEscrita and checks the flag
    // there, so nothing of the job can follow the mark.
    void Cancelar(TPedidoFala& APedido) {
        std::lock_guard trava(FTravaEscrita);
        APedido.Cancelado.store(true);
        // Speech already heard in full leaves the channel to whoever speaks now.
        if (!APedido.Produzido.load() || APedido.Canal->FalaConsumida() < APedido.Fim.load()) {
            APedido.Canal->DescartarFala();
        }
    }

  private:
    TSintetizador() : FThread([this](const std::stop_token& AParar) { Rodar(AParar); }) {}
    ~TSintetizador() {
        FThread.request_stop();
        FSinal.notify_all();
        FThread.join();
    }

    static int Chamada(short* AAmostras, int AQuantas, espeak_EVENT* AEventos) {
        auto* pedido =
            static_cast<TPedidoFala*>(AEventos != nullptr ? AEventos->user_data : nullptr);
        if (pedido == nullptr) {
            return 0;
        }
        if (pedido->Cancelado.load()) {
            return 1;  // aborts the synthesis at once
        }
        if (AAmostras != nullptr && AQuantas > 0) {
            Instancia().Converter(*pedido, AAmostras, AQuantas);
        }
        return pedido->Cancelado.load() ? 1 : 0;
    }

    // Lists the voices from espeak's data folder alone. Its phoneme tables
    // and dictionaries (most of its memory) are loaded at the first text:
    // a box that never speaks never holds them.
    void Iniciar() {
        std::vector<TTokenVoz> tokens;
        espeak_ng_InitializePath(nullptr);
        const espeak_VOICE** vozes = espeak_ListVoices(nullptr);
        for (int i = 0; vozes != nullptr && vozes[i] != nullptr; ++i) {
            const std::string codigo = vozes[i]->languages + 1;
            if (codigo == "pt-br") {
                tokens.push_back({kDescricaoBrasil, IdiomaDoCodigo(codigo), "pt-br"});
                for (const auto& v : kVariantesBrasil) {
                    tokens.push_back({std::string(kDescricaoBrasil) + " - " + v.Nome,
                                      IdiomaDoCodigo(codigo),
                                      std::string("pt-br+") + v.Arquivo});
                }
            } else {
                tokens.push_back({vozes[i]->name, IdiomaDoCodigo(codigo), codigo});
            }
        }
        // The Brazilian voice first: it is the one the shop wants.
        std::stable_partition(
            tokens.begin(), tokens.end(), [](const TTokenVoz& t) { return t.Idioma == "416"; });
        std::lock_guard trava(FTrava);
        FTokens = std::move(tokens);
        FIniciado = true;
        FSinal.notify_all();
    }

    // On the synthesizer thread, at the first text.
    bool CarregarDados() {
        if (!FCarregado) {
            FCarregado = true;
            FTaxa = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, 0);
            if (FTaxa > 0) {
                espeak_SetSynthCallback(&TSintetizador::Chamada);
            }
        }
        return FTaxa > 0;
    }

    void Rodar(const std::stop_token& AParar) {
        Iniciar();
        while (true) {
            std::shared_ptr<TPedidoFala> pedido;
            {
                std::unique_lock trava(FTrava);
                FSinal.wait(trava, AParar, [this] { return !FPedidos.empty(); });
                if (AParar.stop_requested()) {
                    break;
                }
                pedido = std::move(FPedidos.front());
                FPedidos.pop_front();
            }
            Sintetizar(*pedido);
        }
        std::lock_guard trava(FTrava);
        for (auto& p : FPedidos) {
            p->Produzido.store(true);
        }
        if (FTaxa > 0) {
            espeak_Terminate();
        }
    }

    void Sintetizar(TPedidoFala& APedido) {
        ICanalFala& canal = *APedido.Canal;
        if (APedido.Cancelado.load()) {
            Concluir(APedido, canal);
            return;
        }
        if (!CarregarDados()) {
            APedido.Erro.store(true);
            Concluir(APedido, canal);
            return;
        }
        if (espeak_SetVoiceByName(APedido.Voz.c_str()) != EE_OK) {
            APedido.Erro.store(true);
            Concluir(APedido, canal);
            return;
        }
        // SAPI's -10..10 as words per minute around espeak's 175.
        const double ppm = 175.0 * std::pow(2.0, std::clamp(APedido.Taxa, -10, 10) / 10.0);
        espeak_SetParameter(espeakRATE, static_cast<int>(ppm), 0);
        espeak_SetParameter(espeakPITCH, std::clamp(50 + APedido.Tom * 5, 0, 100), 0);
        espeak_SetParameter(espeakVOLUME, 100, 0);
        FGanho = static_cast<float>(std::clamp(APedido.Volume, 0, 100)) / 100.0f;
        if (!PrepararConversor(canal.Taxa())) {
            APedido.Erro.store(true);
            Concluir(APedido, canal);
            return;
        }
        const espeak_ERROR rc = espeak_Synth(APedido.Texto.c_str(),
                                             APedido.Texto.size() + 1,
                                             0,
                                             POS_CHARACTER,
                                             0,
                                             espeakCHARS_UTF8,
                                             nullptr,
                                             &APedido);
        if (rc != EE_OK && !APedido.Cancelado.load()) {
            APedido.Erro.store(true);
        }
        if (!APedido.Cancelado.load()) {
            Converter(APedido, nullptr, 0);  // what the resampler still holds
        }
        Concluir(APedido, canal);
    }

    void Concluir(TPedidoFala& APedido, ICanalFala& ACanal) {
        APedido.Fim.store(ACanal.FalaEscrita());
        // Before Produzido: once it is set the voice, and the engine after
        // it, may be gone.
        ACanal.ContarFalaPendente(-1);
        APedido.Produzido.store(true);
    }

    bool PrepararConversor(int ATaxaMotor) {
        if (FConversor && FTaxaMotor == ATaxaMotor) {
            swr_init(FConversor.get());  // starts each text clean
            return true;
        }
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        AVChannelLayout estereo = AV_CHANNEL_LAYOUT_STEREO;
        SwrContext* bruto = nullptr;
        if (swr_alloc_set_opts2(&bruto,
                                &estereo,
                                AV_SAMPLE_FMT_FLT,
                                ATaxaMotor,
                                &mono,
                                AV_SAMPLE_FMT_S16,
                                FTaxa,
                                0,
                                nullptr) < 0 ||
            swr_init(bruto) < 0) {
            swr_free(&bruto);
            return false;
        }
        FConversor.reset(bruto);
        FTaxaMotor = ATaxaMotor;
        return true;
    }

    // Resamples to the engine's rate, applies the volume and pushes into the
    // speech channel, waiting while it is full.
    void Converter(TPedidoFala& APedido, const short* AAmostras, int AQuantas) {
        const int maximo = swr_get_out_samples(FConversor.get(), AQuantas);
        if (maximo <= 0) {
            return;
        }
        FBloco.resize(static_cast<std::size_t>(maximo) * 2);
        auto* saida = reinterpret_cast<std::uint8_t*>(FBloco.data());
        const auto* entrada = reinterpret_cast<const std::uint8_t*>(AAmostras);
        const int n = swr_convert(
            FConversor.get(), &saida, maximo, AAmostras != nullptr ? &entrada : nullptr, AQuantas);
        if (n <= 0) {
            return;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) * 2; ++i) {
            FBloco[i] *= FGanho;
        }
        ICanalFala& canal = *APedido.Canal;
        std::size_t enviado = 0;
        const auto total = static_cast<std::size_t>(n);
        while (enviado < total) {
            {
                std::lock_guard trava(FTravaEscrita);
                if (APedido.Cancelado.load()) {
                    return;
                }
                enviado += canal.EscreverFala(
                    std::span<const float>(FBloco.data() + enviado * 2, (total - enviado) * 2));
            }
            if (enviado < total) {
                // The channel holds seconds of speech ahead of the mixer.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    }

    std::mutex FTrava;
    std::mutex FTravaEscrita;  // held to write speech, and to cancel a job
    std::condition_variable_any FSinal;
    std::deque<std::shared_ptr<TPedidoFala>> FPedidos;  // guarded by FTrava
    std::vector<TTokenVoz> FTokens;                     // guarded by FTrava
    bool FIniciado = false;                             // guarded by FTrava
    // Used on the synthesizer thread only.
    bool FCarregado = false;
    int FTaxa = 0;
    std::unique_ptr<SwrContext, TLiberarConversor> FConversor;
    int FTaxaMotor = 0;
    float FGanho = 1.0f;
    std::vector<float> FBloco;
    std::jthread FThread;
};

// ------------------------------------------------------------- a voice

class TVozEspeak final : public IVozSapi {
  public:
    explicit TVozEspeak(ICanalFala& ACanal) : FCanal(ACanal) {
        const auto tokens = TSintetizador::Instancia().Tokens();
        if (!tokens.empty()) {
            FToken = tokens.front();
        }
    }
    // Cancels what it was saying and waits (briefly: cancelling is quick) until
    // the synthesizer let go of it, so no speech reaches a closed engine.
    ~TVozEspeak() override {
        if (!FAtual) {
            return;
        }
        TSintetizador::Instancia().Cancelar(*FAtual);
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!FAtual->Produzido.load() && std::chrono::steady_clock::now() < limite) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::vector<TTokenVoz> ListarTokens() override { return TSintetizador::Instancia().Tokens(); }
    bool DefinirVoz(const TTokenVoz& AToken) override {
        FToken = AToken;
        return true;
    }
    std::string DescricaoVoz() override { return FToken.Descricao; }
    void DefinirTaxa(int ATaxa) override { FTaxa = std::clamp(ATaxa, -10, 10); }
    void DefinirVolume(int AVolume) override { FVolume = std::clamp(AVolume, 0, 100); }

    bool Falar(const std::string& ATexto, int AFlags) override {
        if ((AFlags & kFalaDescartar) != 0 && FAtual) {
            TSintetizador::Instancia().Cancelar(*FAtual);
        }
        if (ATexto.empty()) {
            return true;
        }
        auto pedido = std::make_shared<TPedidoFala>();
        TTextoFala t;
        if ((AFlags & kFalaXml) != 0) {
            t = InterpretarXmlFala(ATexto);
        } else {
            t.Texto = ATexto;
        }
        pedido->Texto = LimparTexto(t.Texto);
        pedido->Tom = t.Tom;
        pedido->Voz = FToken.Identificador;
        pedido->Taxa = FTaxa;
        pedido->Volume = FVolume;
        pedido->Canal = &FCanal;
        FAtual = pedido;
        FCanal.ContarFalaPendente(+1);
        FConsumidaVista = FCanal.FalaConsumida();
        FUltimoAvanco = std::chrono::steady_clock::now();
        TSintetizador::Instancia().Enviar(std::move(pedido));
        return true;
    }

    bool Terminou() override {
        if (!FAtual) {
            return true;
        }
        if (!FAtual->Produzido.load()) {
            return false;
        }
        const std::uint64_t consumida = FCanal.FalaConsumida();
        if (consumida >= FAtual->Fim.load()) {
            return true;
        }
        // A device that stopped pulling audio must not hold the announcer
        // in its speaking phase for ever.
        const auto agora = std::chrono::steady_clock::now();
        if (consumida != FConsumidaVista) {
            FConsumidaVista = consumida;
            FUltimoAvanco = agora;
        }
        return agora - FUltimoAvanco > std::chrono::seconds(5);
    }

    long UltimoResultado() override { return FAtual && FAtual->Erro.load() ? 1 : 0; }

  private:
    // Control characters would be spoken as noise or stop espeak; tabs and
    // line breaks become spaces, invalid UTF-8 is read as Windows-1252.
    static std::string LimparTexto(const std::string& ATexto) {
        std::string r = GarantirUtf8(ATexto);
        for (char& c : r) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                c = ' ';
            }
        }
        return r;
    }

    ICanalFala& FCanal;
    TTokenVoz FToken;
    int FTaxa = 0;
    int FVolume = 100;
    std::shared_ptr<TPedidoFala> FAtual;
    std::uint64_t FConsumidaVista = 0;
    std::chrono::steady_clock::time_point FUltimoAvanco;
};

}  // namespace

std::string IdiomaDoCodigo(const std::string& ACodigo) {
    static const std::map<std::string, std::string> kLcid = {
        {"pt-br", "416"},      {"pt", "816"}, {"en-us", "409"},   {"en", "809"},
        {"en-gb-x-rp", "809"}, {"es", "c0a"}, {"es-419", "580a"}, {"fr", "40c"},
        {"fr-be", "80c"},      {"de", "407"}, {"it", "410"},      {"nl", "413"},
        {"pl", "415"},         {"ru", "419"}, {"ja", "411"},      {"zh", "804"},
        {"cmn", "804"},        {"ko", "412"}, {"ar", "401"},      {"tr", "41f"},
        {"sv", "41d"},         {"da", "406"}, {"nb", "414"},      {"fi", "40b"},
        {"el", "408"},         {"cs", "405"}, {"hu", "40e"},      {"ro", "418"},
        {"uk", "422"},         {"ca", "403"},
    };
    auto it = kLcid.find(MinusculasAZ(ACodigo));
    return it != kLcid.end() ? it->second : ACodigo;
}

TTextoFala InterpretarXmlFala(const std::string& AXml) {
    TTextoFala r;
    std::string corpo = AXml;
    static constexpr std::string_view kAbre = "<pitch absmiddle=\"";
    if (ComecaCom(corpo, kAbre)) {
        const std::size_t fimNumero = corpo.find('"', kAbre.size());
        const std::size_t fimTag = corpo.find('>', kAbre.size());
        if (fimNumero != std::string::npos && fimTag == fimNumero + 1) {
            r.Tom = LerInteiroOu(corpo.substr(kAbre.size(), fimNumero - kAbre.size()), 0);
            corpo = corpo.substr(fimTag + 1);
            if (TerminaCom(corpo, "</pitch>")) {
                corpo.resize(corpo.size() - 8);
            }
        }
    }
    corpo = SubstituirTudo(corpo, "&lt;", "<");
    corpo = SubstituirTudo(corpo, "&gt;", ">");
    corpo = SubstituirTudo(corpo, "&quot;", "\"");
    corpo = SubstituirTudo(corpo, "&apos;", "'");
    r.Texto = SubstituirTudo(corpo, "&amp;", "&");
    return r;
}

TFabricaVozEspeak::TFabricaVozEspeak(ICanalFala& ACanal) : FCanal(ACanal) {}
TFabricaVozEspeak::~TFabricaVozEspeak() = default;

std::unique_ptr<IVozSapi> TFabricaVozEspeak::Criar() {
    if (!TSintetizador::Instancia().Disponivel()) {
        return nullptr;
    }
    return std::make_unique<TVozEspeak>(FCanal);
}

std::vector<TTokenVoz> TFabricaVozEspeak::Tokens() {
    return TSintetizador::Instancia().Tokens();
}

}  // namespace ljsn
