#include <gtest/gtest.h>
#include <unistd.h>

#include "programa/uAmbienteProgramacao.h"

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
        return TJson::parse(A.Programa->ExecutarComando("comando", ADados));
    }
    std::string Erro(const TJson& ADados) {
        try {
            A.Programa->ExecutarComando("comando", ADados);
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
    const TJson e = TJson::parse(p.ExecutarComando("estado", TJson::object()));
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
                                        "info"}));
    EXPECT_EQ(e["situacao"], "parado");
    EXPECT_EQ(e["faixa"], "");
    EXPECT_EQ(e["aseguir"], "Propaganda em 3 músicas");
    const TJson completo = TJson::parse(p.ExecutarComando("estado", TJson{{"completo", true}}));
    EXPECT_EQ(completo["chamadas"].size(), 13u);
    EXPECT_EQ(completo.back().size(), 13u);  // "chamadas" comes last
    EXPECT_EQ(p.ExecutarComando("outra", TJson::object()), "");
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

TEST_F(Comandos, Erros) {
    A.Criar();
    EXPECT_EQ(Erro(TJson::object()), "Comando desconhecido.");
    EXPECT_EQ(A.LinhasDoLog("COMANDO").back(), "celular/controles rapidos:");
    EXPECT_EQ(Erro({{"acao", "dancar"}}), "Comando desconhecido.");
    // A value of the wrong type is an error with the JSON reader's message.
    EXPECT_NE(Erro({{"acao", "volume"}, {"valor", "alto"}}).find("type must be number"),
              std::string::npos);
    EXPECT_NE(Erro({{"acao", 5}}).find("type must be string"), std::string::npos);

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
        c.CelularPorta = 48500 + ::getpid() % 500;
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
    const TJson e = TJson::parse(segundo.ExecutarComando("estado", TJson::object()));
    EXPECT_NE(e["aseguir"].get<std::string>().find("Não foi possível usar a porta"),
              std::string::npos);
    // Kept apart from the status texts, which the next rebuild replaces.
    EXPECT_NE(segundo.ErroCelular().find("Não foi possível usar a porta"), std::string::npos);
    EXPECT_EQ(primeiro.ErroCelular(), "");
}
