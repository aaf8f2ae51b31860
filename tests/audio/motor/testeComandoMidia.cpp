#include <gtest/gtest.h>

#include "audio/motor/uComandoMidia.h"

using namespace ljsn;
using V = TComandoTexto::TVerbo;

struct TCasoComando {
    const char* Nome;
    const char* Texto;
    bool Valido;
    V Verbo = V::cvTocar;
    const char* Alias = "";
    const char* Arquivo = "";
    std::int64_t Numero = 0;
};

class ComandoMidia : public testing::TestWithParam<TCasoComando> {};

// Every command the player sends parses; anything malformed is an error reply.
TEST_P(ComandoMidia, Interpreta) {
    const auto& caso = GetParam();
    const auto c = InterpretarComando(caso.Texto);
    ASSERT_EQ(c.has_value(), caso.Valido);
    if (!c) {
        return;
    }
    EXPECT_EQ(c->Verbo, caso.Verbo);
    EXPECT_EQ(c->Alias, caso.Alias);
    EXPECT_EQ(c->Arquivo, caso.Arquivo);
    EXPECT_EQ(c->Numero, caso.Numero);
}

INSTANTIATE_TEST_SUITE_P(
    Tabela,
    ComandoMidia,
    testing::Values(
        TCasoComando{"Abrir",
                     "open \"/m/a b.mp3\" type mpegvideo alias musica",
                     true,
                     V::cvAbrir,
                     "musica",
                     "/m/a b.mp3"},
        TCasoComando{"AbrirComAspas",
                     "open \"/m/o \"bom\".mp3\" type mpegvideo alias musica2",
                     true,
                     V::cvAbrir,
                     "musica2",
                     "/m/o \"bom\".mp3"},
        TCasoComando{"AbrirComTraco",
                     "open \"-x.mp3\" type mpegvideo alias teste",
                     true,
                     V::cvAbrir,
                     "teste",
                     "-x.mp3"},
        TCasoComando{"AliasSemCaixa", "PLAY Musica", true, V::cvTocar, "musica"},
        TCasoComando{"AbrirSemAspas", "open /m/a.mp3 type mpegvideo alias musica", false},
        TCasoComando{"AbrirAspaSoltaNoFim", "open /m/a.mp3\" type mpegvideo alias musica", false},
        TCasoComando{"AbrirSemAlias", "open \"/m/a.mp3\" type mpegvideo", false},
        TCasoComando{"AbrirCaminhoVazio", "open \"\" type mpegvideo alias musica", false},
        TCasoComando{
            "Formato", "set musica time format milliseconds", true, V::cvFormato, "musica"},
        TCasoComando{
            "Posicionar", "seek musica to 120000", true, V::cvPosicionar, "musica", "", 120000},
        TCasoComando{"PosicionarNegativo", "seek musica to -5", false},
        TCasoComando{"PosicionarTexto", "seek musica to 12a", false},
        TCasoComando{
            "Volume", "setaudio musica2 volume to 800", true, V::cvVolume, "musica2", "", 800},
        TCasoComando{"VolumeAcima", "setaudio musica volume to 1001", false},
        TCasoComando{"VolumeVazio", "setaudio musica volume to", false},
        TCasoComando{"Pausa", "pause musica", true, V::cvPausar, "musica"},
        TCasoComando{"Continuar", "resume musica", true, V::cvContinuar, "musica"},
        TCasoComando{"Parar", "stop musica", true, V::cvParar, "musica"},
        TCasoComando{"Fechar", "close musica", true, V::cvFechar, "musica"},
        TCasoComando{"PalavraASobra", "play musica agora", false},
        TCasoComando{"VerboDesconhecido", "dance musica", false},
        TCasoComando{"StatusDesconhecido", "status musica volume", false},
        TCasoComando{"Vazio", "", false}),
    [](const testing::TestParamInfo<TCasoComando>& AInfo) {
        return std::string(AInfo.param.Nome);
    });

TEST(ComandoMidiaStatus, TiposDeStatus) {
    EXPECT_EQ(InterpretarComando("status musica length")->Status,
              TComandoTexto::TStatus::stDuracao);
    EXPECT_EQ(InterpretarComando("status musica mode")->Status, TComandoTexto::TStatus::stModo);
    EXPECT_EQ(InterpretarComando("status musica position")->Status,
              TComandoTexto::TStatus::stPosicao);
    EXPECT_EQ(InterpretarComando("seek musica to start")->Alvo, TComandoTexto::TAlvo::taInicio);
}
