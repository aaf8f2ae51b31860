#include "programa/uFilaProgramacao.h"

#include <algorithm>

#include "ambiente/uLog.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

// The index after AIndice in a rotation of ATamanho (> 0) items.
int Seguinte(int AIndice, std::size_t ATamanho) {
    return (AIndice + 1) % static_cast<int>(ATamanho);
}

}  // namespace

void TFilaProgramacao::Embaralhar(std::vector<std::string>& ALista) {
    for (std::size_t i = ALista.size(); i-- > 1;) {
        std::uniform_int_distribution<std::size_t> d(0, i);
        std::swap(ALista[i], ALista[d(FAleatorio)]);
    }
}

void TFilaProgramacao::TrocarListas(TListasLidas AListas, bool AEmbaralhar) {
    FVinhetaAntes = std::move(AListas.VinhetaAntes);
    FVinhetaDepois = std::move(AListas.VinhetaDepois);
    if (AEmbaralhar) {
        Embaralhar(AListas.Musicas);
        Embaralhar(AListas.Propagandas);
    }
    const std::string atual = MusicaAtual();
    const bool mesmasPropagandas = FPropagandas == AListas.Propagandas;
    FMusicas = std::move(AListas.Musicas);
    FPropagandas = std::move(AListas.Propagandas);
    FIndiceMusica = -1;
    FLinhaSelecionada = -1;
    if (!atual.empty()) {
        for (std::size_t i = 0; i < FMusicas.size(); ++i) {
            if (IguaisSemCaixa(FMusicas[i], atual)) {
                FIndiceMusica = static_cast<int>(i);
                break;
            }
        }
        FLinhaSelecionada = FIndiceMusica;
    }
    if (!mesmasPropagandas) {
        FIndicePropaganda = -1;
        FFila.clear();
    }
}

bool TFilaProgramacao::VinhetaUsavel(const std::string& ACaminho) const {
    return !ACaminho.empty() && (ACaminho == FVinhetaAntes || ACaminho == FVinhetaDepois);
}

void TFilaProgramacao::DescartarVinheta(const std::string& ACaminho) {
    for (std::string* v : {&FVinhetaAntes, &FVinhetaDepois}) {
        if (*v == ACaminho) {
            v->clear();
        }
    }
}

bool TFilaProgramacao::IntervaloDevido(const TConfiguracoes& AConfig) const {
    return !FPropagandas.empty() && FMusicasDesdePropaganda >= AConfig.MusicasEntrePropagandas;
}

void TFilaProgramacao::MontarIntervalo(const TConfiguracoes& AConfig) {
    if (!IntervaloDevido(AConfig)) {
        return;
    }
    if (VinhetaUsavel(AConfig.VinhetaAntes)) {
        FFila.push_back({AConfig.VinhetaAntes, MARCA_VINHETA});
    }
    for (int i = 0; i < AConfig.PropagandasPorIntervalo; ++i) {
        FIndicePropaganda = Seguinte(FIndicePropaganda, FPropagandas.size());
        FFila.push_back({FPropagandas[static_cast<std::size_t>(FIndicePropaganda)], 0});
    }
    if (VinhetaUsavel(AConfig.VinhetaDepois)) {
        FFila.push_back({AConfig.VinhetaDepois, MARCA_VINHETA});
    }
    GravarLogFmt("FILA",
                 "intervalo comercial depois de %d musica(s) (regra: a cada %d): %d arquivo(s)",
                 FMusicasDesdePropaganda,
                 AConfig.MusicasEntrePropagandas,
                 ArquivosNaFila());
    FMusicasDesdePropaganda = 0;
}

bool TFilaProgramacao::NoticiasNaFila() const {
    return std::any_of(
        FFila.begin(), FFila.end(), [](const TEntrada& e) { return e.Marca == MARCA_NOTICIAS; });
}

std::ptrdiff_t TFilaProgramacao::ArquivosNaFila() const {
    return std::count_if(
        FFila.begin(), FFila.end(), [](const TEntrada& e) { return e.Marca != MARCA_NOTICIAS; });
}

TFilaProgramacao::TEntrada TFilaProgramacao::Retirar() {
    TEntrada e = std::move(FFila.front());
    FFila.pop_front();
    return e;
}

int TFilaProgramacao::SeguinteMusica() const {
    return FMusicas.empty() ? -1 : Seguinte(FIndiceMusica, FMusicas.size());
}

const std::string& TFilaProgramacao::ComecarMusica(int AIndice) {
    FIndiceMusica = AIndice;
    FLinhaSelecionada = AIndice;
    ++FMusicasDesdePropaganda;
    ++FMusicasDesdeNoticias;
    FNoAr = TItemFila::ifMusica;
    return FMusicas[static_cast<std::size_t>(AIndice)];
}

void TFilaProgramacao::MusicaFalhou() {
    --FMusicasDesdePropaganda;
    --FMusicasDesdeNoticias;
}

std::string TFilaProgramacao::ProximoArquivo(const TConfiguracoes& AConfig,
                                             bool ANoticiasProntas) const {
    if (!FFila.empty()) {
        const TEntrada& e = FFila.front();
        return e.Marca == MARCA_NOTICIAS ? std::string() : e.Texto;
    }
    if (ANoticiasProntas) {
        return {};
    }
    if (!IntervaloDevido(AConfig)) {
        return ProximaMusica();
    }
    if (VinhetaUsavel(AConfig.VinhetaAntes)) {
        return AConfig.VinhetaAntes;
    }
    return ProximaPropaganda();
}

std::string TFilaProgramacao::ProximaPropaganda() const {
    return FPropagandas.empty() ? std::string()
                                : FPropagandas[static_cast<std::size_t>(
                                      Seguinte(FIndicePropaganda, FPropagandas.size()))];
}

std::string TFilaProgramacao::ProximaMusica() const {
    return FMusicas.empty() ? std::string() : FMusicas[static_cast<std::size_t>(SeguinteMusica())];
}

std::string TFilaProgramacao::MusicaAtual() const {
    if (FIndiceMusica >= 0 && FIndiceMusica < static_cast<int>(FMusicas.size())) {
        return FMusicas[static_cast<std::size_t>(FIndiceMusica)];
    }
    return {};
}

void TFilaProgramacao::SelecionarLinha(int ALinha) {
    FLinhaSelecionada = (ALinha >= 0 && ALinha < static_cast<int>(FMusicas.size())) ? ALinha : -1;
}

}  // namespace ljsn
