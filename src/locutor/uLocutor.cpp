#include "locutor/uLocutor.h"

#include <algorithm>
#include <set>

#include "ambiente/uLog.h"
#include "comum/uFormato.h"
#include "comum/uTexto.h"
#include "locutor/uVozEdge.h"

namespace ljsn {

namespace {

constexpr std::uint32_t kReservaMs = 300000;  // five minutes of the local voice

// Case-insensitive order that keeps one of each name.
struct TMenorSemCaixa {
    bool operator()(const std::string& A, const std::string& B) const {
        return MinusculasUtf8(A) < MinusculasUtf8(B);
    }
};

}  // namespace

TLocutor::TLocutor(IFabricaVoz& AFabrica, TRelogio& ARelogio)
    : FFabrica(AFabrica), FRelogio(ARelogio) {}

TLocutor::~TLocutor() {
    Cancelar();
}

bool TLocutor::Automatica(TTipoFala ATipo) {
    return ATipo == TTipoFala::tfMensagem || ATipo == TTipoFala::tfData ||
           ATipo == TTipoFala::tfNoticia;
}

bool TLocutor::EhVozNatural(const std::string& ANome) {
    if (TVozEdge::EhVozEdge(ANome)) {
        return true;
    }
    const std::string maiusculo = MaiusculasAZ(ANome);
    return maiusculo.find("NATURAL") != std::string::npos ||
           maiusculo.find("ONLINE") != std::string::npos;
}

bool TLocutor::EhPortuguesBrasil(const TTokenVoz& AToken) {
    if (AToken.Idioma.empty()) {
        return MaiusculasAZ(AToken.Descricao).find("BRAZIL") != std::string::npos;
    }
    std::string lista = ";";
    lista += MaiusculasAZ(AToken.Idioma);
    lista += ';';
    return lista.find(";416;") != std::string::npos;
}

bool TLocutor::Anunciar(const std::string& ATexto,
                        TTipoFala ATipo,
                        std::optional<TOrigemFala> AOrigem) {
    if (Aparar(ATexto).empty()) {
        return true;
    }
    const TOrigemFala origem = AOrigem.value_or(
        ATipo == TTipoFala::tfChamada ? TOrigemFala::ofPessoa : TOrigemFala::ofPrograma);
    if (origem == TOrigemFala::ofPessoa && !Cabe(1)) {
        // The caller turns the refusal into a message for the staff.
        GravarLog("LOCUTOR",
                  "fila do locutor cheia: fala descartada: " + PrimeirosCaracteres(ATexto, 160));
        return false;
    }
    FFila.push_back(
        {ContarCaracteres(ATexto) > kMaxTexto ? CortarEmPalavra(ATexto, kMaxTexto) : ATexto,
         ATipo,
         origem});
    ContarPessoas();
    return true;
}

void TLocutor::ContarPessoas() {
    FDePessoas =
        static_cast<std::size_t>(std::count_if(FFila.begin(), FFila.end(), [](const TEntrada& E) {
            return E.Origem == TOrigemFala::ofPessoa;
        }));
}

void TLocutor::FalarImediato(const std::string& ATexto, TTipoFala ATipo) {
    Cancelar();
    if (Aparar(ATexto).empty()) {
        return;
    }
    Anunciar(ATexto, ATipo);
    if (IniciarProxima()) {
        FFase = TFaseLocutor::flFalando;
    }
}

void TLocutor::Processar(int AIntervaloMs) {
    const double fundo = FatorFundo();
    const double passo = FTempoFade > 0 ? (1.0 - fundo) * AIntervaloMs / FTempoFade : 1.0;
    switch (FFase) {
        case TFaseLocutor::flOcioso:
            if (!FFila.empty()) {
                FFase = TFaseLocutor::flAbaixando;
            }
            break;
        case TFaseLocutor::flAbaixando:
            FFator -= passo;
            if (FFator <= fundo) {
                FFator = fundo;
                FFase = IniciarProxima() ? TFaseLocutor::flFalando : TFaseLocutor::flSubindo;
            }
            break;
        case TFaseLocutor::flFalando:
            if (AindaFalando()) {
                break;
            }
            if (FReservaAte == 0 && !FTextoAtual.empty() && FalhouVozNatural() && AtivarReserva()) {
                // If the fallback fails at once too (the bridge could not
                // open), one step further down rather than losing the text.
                if (FalarComReserva()) {
                    break;
                }
                FFalaEdge = false;  // nothing was spoken through the bridge
            }
            if (FFalaEdge && !FTextoAtual.empty()) {
                GravarLog("LOCUTOR",
                          "falou com a voz natural: " + TVozEdge::Instancia().VozUsada());
                FSemVozesAvisado = false;
            }
            if (!IniciarProxima()) {
                FTextoAtual.clear();
                FFase = TFaseLocutor::flSubindo;
            }
            break;
        case TFaseLocutor::flSubindo:
            FFator += passo;
            if (FFator >= 1.0) {
                FFator = 1.0;
                FFase = TFaseLocutor::flOcioso;
            }
            break;
    }
}

bool TLocutor::IniciarProxima() {
    if (!GarantirVoz()) {
        FFila.clear();
        FDePessoas = 0;
        return false;
    }
    if (FReservaAte != 0 && (static_cast<std::int32_t>(FRelogio.Tique() - FReservaAte) > 0 ||
                             (FReservaSemVozes && !TVozEdge::Instancia().SemVozesOnline()))) {
        AplicarVoz();  // the fallback period is over, or the browser listed voices after all
    }
    while (!FFila.empty()) {
        const TEntrada entrada = FFila.front();
        FFila.pop_front();
        ContarPessoas();
        FTextoAtual = entrada.Texto;
        FTipoAtual = entrada.Tipo;
        FAtualAutomatica = Automatica(entrada.Tipo);
        FVoz->DefinirVolume(VolumeAtual());
        GravarLogFmt("LOCUTOR",
                     "fala (volume %d%%%s): %s",
                     VolumeAtual(),
                     FAtualAutomatica ? ", automatica" : "",
                     PrimeirosCaracteres(FTextoAtual, 160));
        if (FalarComReserva()) {
            return true;
        }
    }
    return false;
}

bool TLocutor::FalarComReserva() {
    if (FalarTexto(FTextoAtual)) {
        return true;
    }
    RegistrarFalhaDeFala();
    return EhVozNatural(VozAtiva()) && AtivarReserva() && FalarTexto(FTextoAtual);
}

void TLocutor::RegistrarFalhaDeFala() {
    std::string erro = "o locutor nao conseguiu falar com a voz \"" + VozAtiva() + "\"";
    if (FFalaEdge) {
        erro += " (" + TVozEdge::Instancia().UltimoErro() + ")";
    }
    GravarLog("ERRO", erro);
}

bool TLocutor::FalarTexto(const std::string& ATexto) {
    FInicioFala = FRelogio.Tique();
    FFalaEdge = FUsaEdge && FReservaAte == 0;
    if (FFalaEdge) {
        TVozEdge& ponte = TVozEdge::Instancia();
        ponte.Falar(ATexto, FVozEdge, FVelocidade, FTom, VolumeAtual());
        return ponte.Estado() != TEstadoVozEdge::evErro;
    }
    if (!FVoz) {
        return false;
    }
    // Staff text is spoken as text: the mark-up characters are escaped.
    std::string texto = SubstituirTudo(ATexto, "&", "&amp;");
    texto = SubstituirTudo(texto, "<", "&lt;");
    texto = SubstituirTudo(texto, ">", "&gt;");
    const std::string xml = FormatarOuFormato("<pitch absmiddle=\"%d\">%s</pitch>", FTom, texto);
    return FVoz->Falar(xml, kFalaAssincrona | kFalaXml);
}

bool TLocutor::AindaFalando() {
    if (FFalaEdge) {
        const TEstadoVozEdge e = TVozEdge::Instancia().Estado();
        return e == TEstadoVozEdge::evEsperando || e == TEstadoVozEdge::evFalando;
    }
    return FVoz && !FVoz->Terminou();
}

bool TLocutor::FalhouVozNatural() {
    if (FFalaEdge) {
        TVozEdge& ponte = TVozEdge::Instancia();
        if (ponte.Estado() == TEstadoVozEdge::evErro) {
            if (!ponte.SemVozesOnline() || !FSemVozesAvisado) {
                // The bridge's own text may already say whose error it is.
                std::string erro = ponte.UltimoErro();
                if (!ComecaCom(erro, "voz natural: ")) {
                    erro = "voz natural: " + erro;
                }
                GravarLog("ERRO", erro);
            }
            return true;
        }
        return false;
    }
    if (FVoz && FVoz->UltimoResultado() != 0) {
        return true;
    }
    // A natural voice that "finishes" a real sentence this fast failed silently.
    return EhVozNatural(VozAtiva()) && ContarCaracteres(FTextoAtual) > 15 &&
           FRelogio.Tique() - FInicioFala < 250;
}

bool TLocutor::AtivarReserva() {
    if (!FUsaEdge && TVozEdge::Disponivel()) {
        const std::string voz = VozAtiva();
        FUsaEdge = true;
        FVozEdge = TVozEdge::VozEquivalente(voz);
        FReservaAte = 0;
        FUltimoErro.clear();
        GravarLog("LOCUTOR", "voz natural \"" + voz + "\" falhou: usando a mesma voz natural");
        TVozEdge::Instancia().Iniciar();
        return true;
    }
    if (!GarantirVoz()) {
        return false;
    }
    const auto tokens = ListarTokens();
    const TTokenVoz* escolhido = nullptr;
    for (const auto& t : tokens) {
        if (!EhVozNatural(t.Descricao) && EhPortuguesBrasil(t)) {
            escolhido = &t;
            break;
        }
    }
    if (escolhido == nullptr) {
        for (const auto& t : tokens) {
            if (!EhVozNatural(t.Descricao)) {
                escolhido = &t;
                break;
            }
        }
    }
    if (escolhido == nullptr || !FVoz->DefinirVoz(*escolhido)) {
        return false;
    }
    FVoz->DefinirTaxa(FVelocidade);
    FVoz->DefinirVolume(VolumeAtual());
    // A browser without online voices will not have them in five minutes;
    // retrying that often only fills the log. A voice list from its page
    // ends the wait early.
    FReservaSemVozes = FFalaEdge && TVozEdge::Instancia().SemVozesOnline();
    FReservaAte = FRelogio.Tique() + (FReservaSemVozes ? kReservaSemVozesMs : kReservaMs);
    if (FReservaAte == 0) {
        FReservaAte = 1;  // 0 means "no fallback"
    }
    FFalaEdge = false;
    if (!FReservaSemVozes) {
        FUltimoErro = "voz natural indisponível (sem internet?); usando a voz do sistema";
        GravarLog("LOCUTOR",
                  "voz natural falhou (sem internet?): usando a voz do sistema \"" +
                      escolhido->Descricao + "\"");
        return true;
    }
    FUltimoErro = "o navegador não tem vozes naturais; usando a voz do sistema";
    if (!FSemVozesAvisado) {
        FSemVozesAvisado = true;
        GravarLog("LOCUTOR",
                  "o navegador nao tem vozes naturais: usando a voz do sistema \"" +
                      escolhido->Descricao + "\" (nova tentativa em 6 horas)");
    }
    return true;
}

bool TLocutor::GarantirVoz() {
    if (!FVoz) {
        FVoz = FFabrica.Criar();
        if (FVoz) {
            AplicarVoz();
        }
    }
    return FVoz != nullptr;
}

std::vector<TTokenVoz> TLocutor::ListarTokens() {
    if (FVoz) {
        return FVoz->ListarTokens();
    }
    auto voz = FFabrica.Criar();
    return voz ? voz->ListarTokens() : std::vector<TTokenVoz>{};
}

void TLocutor::AplicarVoz() {
    if (!FVoz) {
        return;
    }
    FReservaAte = 0;
    FReservaSemVozes = false;
    FUltimoErro.clear();
    const TTokenVoz* escolhido = nullptr;
    const auto tokens = ListarTokens();
    for (const auto& t : tokens) {
        if (!FNomeVoz.empty()) {
            if (IguaisSemCaixa(t.Descricao, FNomeVoz)) {
                escolhido = &t;
                break;
            }
        } else if (EhPortuguesBrasil(t)) {
            if (EhVozNatural(t.Descricao)) {
                escolhido = &t;
                break;
            }
            if (escolhido == nullptr) {
                escolhido = &t;
            }
        }
    }
    if (escolhido != nullptr) {
        FVoz->DefinirVoz(*escolhido);
    }
    FVoz->DefinirTaxa(FVelocidade);
    FVoz->DefinirVolume(VolumeAtual());
}

void TLocutor::DefinirNomeVoz(const std::string& ANome) {
    FNomeVoz = ANome;
    FUsaEdge = FNomeVoz.empty() ? TVozEdge::Disponivel() : TVozEdge::EhVozEdge(FNomeVoz);
    FVozEdge = TVozEdge::EhVozEdge(FNomeVoz)
                   ? TVozEdge::NomeAtual(FNomeVoz).substr(TVozEdge::kTamanhoPrefixo)
                   : std::string();
    AplicarVoz();
    if (FUsaEdge) {
        TVozEdge::Instancia().Iniciar();
    }
}

void TLocutor::DefinirVelocidade(int AValor) {
    FVelocidade = std::clamp(AValor, -10, 10);
    AplicarVoz();
}

void TLocutor::DefinirVolume(TTipoFala ATipo, int AValor) {
    FVolumes[IndiceFala(ATipo)] = std::clamp(AValor, 0, 100);
    if (ATipo == FTipoAtual && FVoz) {
        FVoz->DefinirVolume(FVolumes[IndiceFala(ATipo)]);
    }
}

void TLocutor::PararFala() {
    if (FFalaEdge) {
        TVozEdge::Instancia().Cancelar();
    } else if (FVoz) {
        FVoz->Falar(std::string(), kFalaAssincrona | kFalaDescartar);
    }
}

void TLocutor::Cancelar() {
    FFila.clear();
    FDePessoas = 0;
    if (FFalaEdge) {
        TVozEdge::Instancia().Cancelar();
        FFalaEdge = false;
    }
    if (FVoz) {
        FVoz->Falar(std::string(), kFalaAssincrona | kFalaDescartar);
    }
    FTextoAtual.clear();
    if (FFase != TFaseLocutor::flOcioso) {
        FFase = TFaseLocutor::flSubindo;
    }
}

void TLocutor::DescartarAutomaticas() {
    std::erase_if(FFila, [](const TEntrada& AEntrada) { return Automatica(AEntrada.Tipo); });
    ContarPessoas();
    if (FAtualAutomatica && FFase == TFaseLocutor::flFalando && FVoz) {
        PararFala();
        GravarLog("LOCUTOR", "fala automatica interrompida (player pausado ou parado)");
        FTextoAtual.clear();
    }
    FAtualAutomatica = false;
}

bool TLocutor::Ocupado() const {
    return !FFila.empty() || FFase == TFaseLocutor::flAbaixando || FFase == TFaseLocutor::flFalando;
}

void TLocutor::SemDescida() {
    FFator = FatorFundo();
}

double TLocutor::FatorFundo() const {
    // A background level beyond 0..100 % (a hand-edited file) would duck
    // below silence or push the music above its own level.
    return std::clamp(FVolumeFundo / 100.0, 0.0, 1.0);
}

std::string TLocutor::VozAtiva() {
    if (!FUsaEdge || FReservaAte != 0) {
        if (!GarantirVoz()) {
            return {};
        }
        return FVoz->DescricaoVoz();
    }
    std::string voz = FFalaEdge ? TVozEdge::Instancia().VozUsada() : std::string();
    if (voz.empty()) {
        voz = FVozEdge;
    }
    if (voz.empty()) {
        voz = "automática";
    }
    return TVozEdge::kPrefixo + voz;
}

std::vector<std::string> TLocutor::VozesDisponiveis() {
    std::set<std::string, TMenorSemCaixa> naturais;
    std::set<std::string, TMenorSemCaixa> locais;
    for (const auto& t : ListarTokens()) {
        if (!EhPortuguesBrasil(t)) {
            continue;
        }
        (EhVozNatural(t.Descricao) ? naturais : locais).insert(t.Descricao);
    }
    std::vector<std::string> r = TVozEdge::VozesComPrefixo();
    r.insert(r.end(), naturais.begin(), naturais.end());
    r.insert(r.end(), locais.begin(), locais.end());
    return r;
}

}  // namespace ljsn
