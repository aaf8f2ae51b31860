#include <gtest/gtest.h>

#include "apoio/uServidorFixtures.h"
#include "falas/uChamadas.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

class Comandos : public testing::Test {
  protected:
    void SetUp() override {
        A.CriarArquivos("musicas", {"m1.wav", "m2.wav"}, 60000);
        A.CriarArquivos("propagandas", {"p1.wav"}, 20000);
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.TransicaoSegundos = 0;
            c.NomeEmpresa = "Mercado Central";
            c.GeneroEmpresa = TGeneroEmpresa::geMasculino;
        });
        A.Voz.Roteiro.MsFixos = 100000;  // speech stays on air during a test
    }
    TJson Comando(const TJson& ADados) {
        return TJson::parse(ExecutarComando(*A.Programa, "comando", ADados));
    }
    std::string Erro(const TJson& ADados) {
        try {
            ExecutarComando(*A.Programa, "comando", ADados);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(sem erro)";
    }
    TAmbienteProgramacao A;
};

}  // namespace

// The state report: its members in order, and the optional two.
TEST_F(Comandos, EstadoNaOrdem) {
    TPrograma& p = A.Criar();
    const TJson e = TJson::parse(ExecutarComando(p, "estado", TJson::object()));
    std::vector<std::string> chaves;
    for (const auto& [k, v] : e.items()) {
        chaves.push_back(k);
    }
    EXPECT_EQ(chaves,
              (std::vector<std::string>{"situacao",
                                        "tipo",
                                        "faixa",
                                        "posicao",
                                        "duracao",
                                        "volume",
                                        "locutor",
                                        "aseguir",
                                        "info",
                                        "silencios"}));
    EXPECT_EQ(e["situacao"], "parado");
    EXPECT_EQ(e["faixa"], "");
    EXPECT_EQ(e["aseguir"], "Propaganda em 3 músicas");
    const TJson completo = TJson::parse(ExecutarComando(p, "estado", TJson{{"completo", true}}));
    EXPECT_EQ(completo["chamadas"].size(), 13u);
    EXPECT_EQ(completo.back().size(), 13u);  // "chamadas" comes last
    EXPECT_EQ(ExecutarComando(p, "outra", TJson::object()), "");
    EXPECT_EQ(A.LinhasDoLog("COMANDO").size(), 0u);
}

TEST_F(Comandos, Acoes) {
    TPrograma& p = A.Criar();
    TJson e = Comando({{"acao", "tocar"}});
    EXPECT_EQ(e["situacao"], "tocando");
    EXPECT_EQ(e["tipo"], "musica");
    EXPECT_EQ(e["faixa"], "m1");
    EXPECT_FALSE(e.contains("mensagem"));
    A.Avancar(1500);
    e = Comando({{"acao", "pausar"}});
    EXPECT_EQ(e["situacao"], "pausado");
    EXPECT_EQ(Comando({{"acao", "pausar"}})["situacao"], "pausado");  // never resumes
    EXPECT_EQ(Comando({{"acao", "tocar"}})["situacao"], "tocando");   // resumes
    Comando({{"acao", "proxima"}});
    EXPECT_EQ(p.Titulo(), "m2");
    EXPECT_EQ(Comando({{"acao", "volume"}, {"valor", 150}})["volume"], 100);
    EXPECT_EQ(Comando({{"acao", "volume"}, {"valor", -3}})["volume"], 0);
    EXPECT_EQ(Comando({{"acao", "volume"}})["volume"], 0);  // without "valor": unchanged
    EXPECT_EQ(Comando({{"acao", "volume"}, {"valor", 55}})["volume"], 55);
    EXPECT_EQ(Comando({{"acao", "parar"}})["situacao"], "parado");
    EXPECT_EQ(A.LinhasDoLog("COMANDO").back(), "celular/controles rapidos: parar");
}

TEST_F(Comandos, FalarEChamadas) {
    TPrograma& p = A.Criar();
    std::string longo(600, 'a');
    Comando({{"acao", "falar"}, {"texto", "  " + longo}});
    EXPECT_EQ(Erro({{"acao", "falar"}, {"texto", "    "}}), "Digite o que o locutor vai falar.");
    EXPECT_EQ(Erro({{"acao", "falar"}}), "Digite o que o locutor vai falar.");
    A.Avancar(2500);
    // The first 500 characters, then trimmed: the two spaces and 498 letters.
    EXPECT_EQ(p.Locutor().TextoAtual(), std::string(498, 'a'));

    EXPECT_EQ(Erro({{"acao", "chamada"}, {"indice", 13}}), "Escolha uma chamada.");
    EXPECT_EQ(Erro({{"acao", "chamada"}}), "Escolha uma chamada.");
    EXPECT_EQ(Erro({{"acao", "chamada"}, {"indice", 10}, {"placa", "ABC-12"}}),
              "Preencha: veículo/objeto e placa.");
    const TJson e = Comando({{"acao", "chamada"}, {"indice", 0}, {"caixa", 3}, {"repetir", true}});
    EXPECT_EQ(e["mensagem"], "Chamada enviada ao locutor.");
    EXPECT_EQ(p.Locutor().NaFila(), 2u);
}

// A quick call's fields used to be taken whole (a 60 000-character name was
// spoken for minutes and sent in every state report) and its till number
// clamped (-1e308 became "-2147483648"). Fields are cut at 100 characters,
// and the till number must be a whole number of at most three digits.
TEST_F(Comandos, CamposDaChamadaLimitados) {
    TPrograma& p = A.Criar();
    const std::string nome(60000, 'n');
    // Model 4 is "{nome}, por favor, comparecer à frente de loja."
    ASSERT_NE(CarregarChamadas()[4].find("{nome}"), std::string::npos);
    Comando({{"acao", "chamada"}, {"indice", 4}, {"nome", nome}, {"caixa", 3}});
    A.Avancar(2500);
    const std::string falado = p.Locutor().TextoAtual();
    EXPECT_NE(falado.find(std::string(kMaxCampoChamada, 'n')), std::string::npos);
    EXPECT_EQ(falado.find(std::string(kMaxCampoChamada + 1, 'n')), std::string::npos);
    EXPECT_LT(TJson::parse(ExecutarComando(p, "estado", TJson::object())).dump().size(), 2000u);

    const std::string recusa = "O número do caixa deve ser um número inteiro de 0 a 999.";
    struct TCaso {
        const char* Nome;
        TJson Caixa;
        const char* Erro;  // null: accepted
    };
    const TCaso casos[] = {
        {"Enorme", -1e308, recusa.c_str()},
        {"Negativo", -1, recusa.c_str()},
        {"Fracao", 2.5, recusa.c_str()},
        {"QuatroDigitos", 1000, recusa.c_str()},
        {"Texto", "3", "Pedido inválido: \"caixa\" deve ser um número."},
        {"TresDigitos", 999, nullptr},
        {"Inteiro", 12, nullptr},
        {"Ausente", nullptr, nullptr},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        const std::string erro = Erro({{"acao", "chamada"}, {"indice", 0}, {"caixa", c.Caixa}});
        EXPECT_EQ(erro, c.Erro != nullptr ? c.Erro : "(sem erro)");
    }
}

// A flood of requests: the announcer keeps 20 texts waiting and refuses the
// rest with one message, from the phone ("falar", "chamada") and from the
// window's speak box alike; a repeated call needs room for both.
TEST_F(Comandos, FilaDoLocutorLimitada) {
    TPrograma& p = A.Criar();
    for (std::size_t i = 0; i < TLocutor::kMaxFila; ++i) {
        Comando({{"acao", "falar"}, {"texto", "aviso " + std::to_string(i)}});
    }
    EXPECT_EQ(p.Locutor().NaFila(), TLocutor::kMaxFila);
    const std::string cheia = "O locutor já tem muitas falas na fila.";
    EXPECT_EQ(Erro({{"acao", "falar"}, {"texto", "um a mais"}}), cheia);
    EXPECT_EQ(Erro({{"acao", "chamada"}, {"indice", 0}, {"caixa", 3}}), cheia);
    p.Protegido([&] { p.FalarAgora("pela janela"); });
    ASSERT_FALSE(A.Visao.Erros.empty());
    EXPECT_EQ(A.Visao.Erros.back(), cheia);
    EXPECT_EQ(p.Locutor().NaFila(), TLocutor::kMaxFila);

    A.Avancar(2500);  // the first text goes on air: one place frees up
    EXPECT_EQ(p.Locutor().TextoAtual(), "aviso 0");
    EXPECT_EQ(Erro({{"acao", "chamada"}, {"indice", 0}, {"caixa", 3}, {"repetir", true}}), cheia);
    EXPECT_EQ(p.Locutor().NaFila(), TLocutor::kMaxFila - 1);
    EXPECT_EQ(Comando({{"acao", "chamada"}, {"indice", 0}, {"caixa", 3}})["mensagem"],
              "Chamada enviada ao locutor.");
    EXPECT_EQ(p.Locutor().NaFila(), TLocutor::kMaxFila);
}

// "calar" stops the text on air and drops what waits: nothing more is said
// and the music comes back up; new texts are taken again.
TEST_F(Comandos, CalarOLocutor) {
    TPrograma& p = A.Criar();
    Comando({{"acao", "falar"}, {"texto", "texto errado"}});
    Comando({{"acao", "falar"}, {"texto", "outro na fila"}});
    A.Avancar(2500);
    ASSERT_EQ(TJson::parse(ExecutarComando(p, "estado", TJson::object()))["locutor"],
              "texto errado");
    const int paradas = A.Voz.Roteiro.Paradas;
    const TJson e = Comando({{"acao", "calar"}});
    EXPECT_EQ(e["locutor"], "");
    EXPECT_FALSE(e.contains("mensagem"));
    EXPECT_GT(A.Voz.Roteiro.Paradas, paradas);  // the voice was told to purge
    EXPECT_EQ(A.LinhasDoLog("COMANDO").back(), "celular/controles rapidos: calar");
    A.Avancar(5000);
    EXPECT_EQ(A.Voz.Roteiro.Falados.size(), 1u);
    EXPECT_FALSE(p.Locutor().Ativo());
    EXPECT_DOUBLE_EQ(p.Locutor().Fator(), 1.0);
    Comando({{"acao", "falar"}, {"texto", "texto certo"}});
    A.Avancar(2500);
    EXPECT_EQ(p.Locutor().TextoAtual(), "texto certo");
}

// The reply to "proxima" shows the new item with its own position and length,
// not those the last tick read from the item before; with a crossfade too.
TEST_F(Comandos, ProximaMostraOsTemposDoNovoItem) {
    A.CriarArquivos("tamanhos", {"a.wav"}, 60000);
    A.CriarArquivos("tamanhos", {"b.wav"}, 20000);
    struct TCaso {
        const char* Nome;
        int TransicaoSegundos;
    };
    const TCaso casos[] = {{"SemTransicao", 0}, {"ComTransicao", 4}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        A.Programa.reset();
        A.Configurar([&](TConfiguracoes& AConfig) {
            AConfig.PastaMusicas = A.Pasta("tamanhos");
            AConfig.TransicaoSegundos = c.TransicaoSegundos;
        });
        A.Criar();
        ASSERT_EQ(Comando({{"acao", "tocar"}})["faixa"], "a");
        A.Avancar(30000);
        const TJson e = Comando({{"acao", "proxima"}});
        EXPECT_EQ(e["faixa"], "b");
        EXPECT_LT(e["posicao"].get<int>(), 1000);
        EXPECT_NEAR(e["duracao"].get<int>(), 20000, 100);
    }
}

TEST_F(Comandos, Erros) {
    A.Criar();
    EXPECT_EQ(Erro(TJson::object()), "Comando desconhecido.");
    EXPECT_EQ(A.LinhasDoLog("COMANDO").back(), "celular/controles rapidos:");
    EXPECT_EQ(Erro({{"acao", "dancar"}}), "Comando desconhecido.");
    // A value of the wrong type is refused in the shop's language.
    EXPECT_EQ(Erro({{"acao", "volume"}, {"valor", "alto"}}),
              "Pedido inválido: \"valor\" deve ser um número.");
    EXPECT_EQ(Erro({{"acao", 5}}), "Pedido inválido: \"acao\" deve ser um texto.");
    EXPECT_EQ(Erro({{"acao", "chamada"}, {"indice", 0}, {"repetir", "sim"}}),
              "Pedido inválido: \"repetir\" deve ser true ou false.");
    EXPECT_EQ(Erro({{"acao", "falar"}, {"texto", TJson::array({"a"})}}),
              "Pedido inválido: \"texto\" deve ser um texto.");

    // No music: "tocar" and "proxima" refuse.
    A.Programa.reset();
    A.Configurar([&](TConfiguracoes& c) { c.PastaMusicas = A.Pasta("nada"); });
    A.Criar();
    EXPECT_EQ(Erro({{"acao", "tocar"}}), "Nenhuma música configurada no programa.");
    EXPECT_EQ(Erro({{"acao", "proxima"}}), "Nenhuma música configurada no programa.");
}

// The server's start error is shown where the next-item text is, and in the
// state report's "aseguir".
TEST_F(Comandos, ErroDoServidorNoStatus) {
    A.Configurar([](TConfiguracoes& c) {
        c.CelularAtivo = true;
        c.CelularPin = "123456";
        // Asked of the kernel: a fixed range collided with other tests running.
        c.CelularPorta = PortaLivre();
    });
    TPrograma& primeiro = A.Criar();
    const int porta = primeiro.Controle().Porta();
    ASSERT_TRUE(primeiro.Controle().Ativo()) << primeiro.TextosStatus()[3];
    EXPECT_EQ(primeiro.TextoCelular(), EnderecoCelular(porta));
    // A second programme on the same port cannot start its server.
    TAmbienteProgramacao b;
    b.Configurar([&](TConfiguracoes& c) {
        c.CelularAtivo = true;
        c.CelularPin = "123456";
        c.CelularPorta = porta;
    });
    TPrograma& segundo = b.Criar();
    EXPECT_FALSE(segundo.Controle().Ativo());
    const TJson e = TJson::parse(ExecutarComando(segundo, "estado", TJson::object()));
    EXPECT_NE(e["aseguir"].get<std::string>().find("Não foi possível usar a porta"),
              std::string::npos);
    // Kept apart from the status texts, which the next rebuild replaces.
    EXPECT_NE(segundo.ErroCelular().find("Não foi possível usar a porta"), std::string::npos);
    EXPECT_EQ(primeiro.ErroCelular(), "");
}
