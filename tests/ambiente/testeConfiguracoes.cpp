#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "comum/uArquivoTexto.h"
#include "comum/uIni.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

class Configuracoes : public testing::Test {
  protected:
    void SetUp() override { DefinirPastaDados(FPasta.Caminho()); }
    std::string Config() const { return FPasta / "config.ini"; }
    std::string Mensagens() const { return FPasta / "mensagens.txt"; }
    TConfiguracoes CarregarCom(const std::string& AIni) {
        EscreverArquivo(Config(), AIni);
        TConfiguracoes c;
        c.Carregar();
        return c;
    }
    TPastaTemporaria FPasta;
};

}  // namespace

// Non-ASCII paths, names and numbers must come back exactly after a save.
TEST_F(Configuracoes, IdaEVoltaComAcentos) {
    TConfiguracoes c;
    c.PastaMusicas = "/home/loja/Música/São João";
    c.NomeEmpresa = "Padaria Pão & Cia";
    c.ClimaCidade = "São Paulo";
    c.ClimaLat = -23.5505;
    c.ClimaLon = -46.6333;
    c.ReferenciaVolume = -18.4;
    c.GeneroEmpresa = TGeneroEmpresa::geSemArtigo;
    c.VolumesFala[IndiceFala(TTipoFala::tfNoticia)] = 35;
    c.Mensagens = {"Olá {a empresa}!", "", "Promoção: 50% off"};
    c.TransicaoSegundos = 4;
    c.Salvar();

    TConfiguracoes d;
    d.Carregar();
    EXPECT_EQ(d.PastaMusicas, c.PastaMusicas);
    EXPECT_EQ(d.NomeEmpresa, c.NomeEmpresa);
    EXPECT_EQ(d.ClimaCidade, c.ClimaCidade);
    EXPECT_DOUBLE_EQ(d.ClimaLat, -23.5505);
    EXPECT_DOUBLE_EQ(d.ClimaLon, -46.6333);
    EXPECT_DOUBLE_EQ(d.ReferenciaVolume, -18.4);
    EXPECT_EQ(d.GeneroEmpresa, TGeneroEmpresa::geSemArtigo);
    EXPECT_EQ(d.VolumesFala[IndiceFala(TTipoFala::tfNoticia)], 35);
    EXPECT_EQ(d.Mensagens, c.Mensagens);
    // After a save the 8 s migration marker is present, so 4 stays 4.
    EXPECT_EQ(d.TransicaoSegundos, 4);
    // A second save of what was read is byte for byte the first one.
    const std::string primeiro = LerArquivo(Config());
    d.Salvar();
    EXPECT_EQ(LerArquivo(Config()), primeiro);
}

TEST_F(Configuracoes, FormatoGravado) {
    TConfiguracoes c;
    c.ReferenciaVolume = -999;
    c.Mensagens = {"a", "b"};
    c.Salvar();
    const auto ini = TArquivoIni::Interpretar(LerArquivo(Config()));
    EXPECT_EQ(ini.Ler("Geral", "ReferenciaVolume"), "");
    EXPECT_EQ(ini.Ler("Geral", "TransicaoPadrao8"), "1");
    EXPECT_EQ(ini.Ler("Geral", "IncluirSubpastas"), "1");
    EXPECT_EQ(ini.Ler("Clima", "Lat"), "0");
    EXPECT_EQ(ini.Ler("Widget", "X"), "-99999");
    EXPECT_EQ(LerArquivo(Mensagens()),
              "\xEF\xBB\xBF"
              "a\r\nb\r\n");
    // The key table order: Geral's first key, Widget after Geral.
    EXPECT_EQ(ini.Secoes()[0].Nome, "Geral");
    EXPECT_EQ(ini.Secoes()[0].Entradas[0].Chave, "PastaMusicas");
    EXPECT_EQ(ini.Secoes()[1].Nome, "Widget");
    TConfiguracoes d;
    d.Carregar();
    EXPECT_DOUBLE_EQ(d.ReferenciaVolume, -999);
}

struct TCasoLeitura {
    const char* Nome;
    std::string Ini;
    std::function<void(const TConfiguracoes&)> Verificar;
};

// The read rules of the key table: clamps, the 4 -> 8 migration, numbers.
TEST_F(Configuracoes, RegrasDeLeitura) {
    const std::vector<TCasoLeitura> casos = {
        {"Transicao4SemMarcaViraOito",
         "[Geral]\nTransicaoSegundos=4\n",
         [](const auto& c) { EXPECT_EQ(c.TransicaoSegundos, 8); }},
        {"Transicao4ComMarcaFica",
         "[Geral]\nTransicaoSegundos=4\nTransicaoPadrao8=0\n",
         [](const auto& c) { EXPECT_EQ(c.TransicaoSegundos, 4); }},
        {"Transicao15Vira10",
         "[Geral]\nTransicaoSegundos=15\n",
         [](const auto& c) { EXPECT_EQ(c.TransicaoSegundos, 10); }},
        {"PortaBaixaEAlta",
         "[Celular]\nPorta=80\n",
         [](const auto& c) { EXPECT_EQ(c.CelularPorta, 1024); }},
        {"PortaAlta",
         "[Celular]\nPorta=70000\n",
         [](const auto& c) { EXPECT_EQ(c.CelularPorta, 65535); }},
        {"ReferenciaIlegivel",
         "[Geral]\nReferenciaVolume=abc\n",
         [](const auto& c) { EXPECT_DOUBLE_EQ(c.ReferenciaVolume, -999); }},
        {"ReferenciaComVirgulaNaoLe",
         "[Geral]\nReferenciaVolume=-18,4\n",
         [](const auto& c) { EXPECT_DOUBLE_EQ(c.ReferenciaVolume, -999); }},
        {"LatIlegivelDaZero",
         "[Clima]\nLat=norte\nLon=-46.5\n",
         [](const auto& c) {
             EXPECT_DOUBLE_EQ(c.ClimaLat, 0);
             EXPECT_DOUBLE_EQ(c.ClimaLon, -46.5);
         }},
        {"BooleanoQualquerInteiro",
         "[Geral]\nAleatorio=2\nIncluirSubpastas=sim\nTocarAoIniciar=-1\n",
         [](const auto& c) {
             EXPECT_TRUE(c.Aleatorio);
             EXPECT_TRUE(c.IncluirSubpastas);  // unreadable keeps the default
             EXPECT_TRUE(c.TocarAoIniciar);
         }},
        // What the settings dialog refuses is not taken from the file
        // either: 0 songs between breaks played 16 ads in 55 s.
        {"FaixasDaJanela",
         "[Geral]\nMusicasEntrePropagandas=-2\nPropagandasPorIntervalo=0\nVolume=250\n"
         "[Locutor]\nVolumeFundo=300\nVelocidadeVoz=-50\nTomVoz=11\n"
         "MinutosEntreMensagens=9999\nVolumeVoz=-1\n",
         [](const auto& c) {
             EXPECT_EQ(c.MusicasEntrePropagandas, 1);
             EXPECT_EQ(c.PropagandasPorIntervalo, 1);
             EXPECT_EQ(c.Volume, 100);
             EXPECT_EQ(c.VolumeFundo, 100);
             EXPECT_EQ(c.VelocidadeVoz, -10);
             EXPECT_EQ(c.TomVoz, 10);
             EXPECT_EQ(c.MinutosEntreMensagens, 240);
             EXPECT_EQ(c.VolumeVoz, 0);
         }},
        {"NumeroIlegivelFicaNoPadrao",
         "[Geral]\nMusicasEntrePropagandas=tres\n",
         [](const auto& c) { EXPECT_EQ(c.MusicasEntrePropagandas, 3); }},
        // Devices and kernel files are no jingles or folders of a shop.
        {"CaminhosDoSistemaRecusados",
         "[Geral]\nVinhetaAntes=/dev/zero\nVinhetaDepois=/tmp/../proc/self/mem\n"
         "PastaMusicas=/proc\nPastaPropagandas=/sys/\n",
         [](const auto& c) {
             EXPECT_EQ(c.VinhetaAntes, "");
             EXPECT_EQ(c.VinhetaDepois, "");
             EXPECT_EQ(c.PastaMusicas, "");
             EXPECT_EQ(c.PastaPropagandas, "");
         }},
        {"CaminhosComunsAceitos",
         "[Geral]\nVinhetaAntes=/musica/vinheta.mp3\nPastaMusicas=/home/loja/devices\n",
         [](const auto& c) {
             EXPECT_EQ(c.VinhetaAntes, "/musica/vinheta.mp3");
             EXPECT_EQ(c.PastaMusicas, "/home/loja/devices");
         }},
        {"LimitesDasDatasEVolumes",
         "[Datas]\nDiasAntes=99\nMinutos=1\n[Volumes]\nPropagandas=-4\nChamadas=101\n"
         "[Noticias]\nCadaMusicas=0\nQuantidade=9\n[Locutor]\nGeneroEmpresa=7\n",
         [](const auto& c) {
             EXPECT_EQ(c.DatasDiasAntes, 30);
             EXPECT_EQ(c.DatasMinutos, 5);
             EXPECT_EQ(c.VolumePropagandas, 0);
             EXPECT_EQ(c.VolumesFala[IndiceFala(TTipoFala::tfChamada)], 100);
             EXPECT_EQ(c.NoticiasCadaMusicas, 1);
             EXPECT_EQ(c.NoticiasQuantidade, 5);
             EXPECT_EQ(c.GeneroEmpresa, TGeneroEmpresa::geSemArtigo);
         }},
        {"ArquivoSoComLixo",
         std::string("\x00\xFF\xFE\x01\x02[[[===\n\x89PNG\r\n", 18),
         [](const auto& c) {
             EXPECT_EQ(c.Volume, 80);
             EXPECT_EQ(c.TransicaoSegundos, 8);
             EXPECT_EQ(c.NomeEmpresa, "");  // not a first run: the file exists
         }},
    };
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.Nome);
        caso.Verificar(CarregarCom(caso.Ini));
    }
}

// Each value corrected on the way in is named in the log, once per load, so
// whoever edited the file can see what the programme uses.
TEST_F(Configuracoes, CorrecoesNoLog) {
    CarregarCom(
        "[Geral]\nMusicasEntrePropagandas=0\nVolume=80\nVinhetaAntes=/dev/zero\n"
        "[Locutor]\nTomVoz=x\n");
    const auto linhas = [&] {
        std::vector<std::string> r;
        for (const auto& l : DividirLinhas(LerLogs(FPasta.Caminho()))) {
            if (l.find("[CONFIG]") != std::string::npos) {
                r.push_back(Aparar(l.substr(l.find("[CONFIG]") + 8)));
            }
        }
        return r;
    }();
    EXPECT_EQ(linhas,
              (std::vector<std::string>{
                  "config.ini [Geral] MusicasEntrePropagandas=0 fora da faixa 1 a 100: usando 1",
                  "config.ini [Geral] VinhetaAntes=/dev/zero recusado (arquivo do sistema): "
                  "usando nada",
                  "config.ini [Locutor] TomVoz=x nao e um numero: usando 0"}));
}

// A damaged file loads its readable keys with defaults for the rest, and a
// save keeps the sections this version does not know.
TEST_F(Configuracoes, ArquivoDanificadoEDesconhecidos) {
    std::string texto = "[Geral]\r\nVolume=65\r\nTema=\xFF\xFE junk\r\n";
    texto +=
        "[Locutor]\r\nNomeEmpresa=Farm\xE1"
        "cia Boa Sa\xFA"
        "de\r\n";
    texto += "[Termos]\r\nAceito=2025-01-01\r\n[Geral\r\nVolume=1\r\n";
    texto += std::string(200000, 'z') + "\r\n";
    const TConfiguracoes c = CarregarCom(texto);
    EXPECT_EQ(c.Volume, 65);
    EXPECT_EQ(c.NomeEmpresa, "Farmácia Boa Saúde");
    c.Salvar();
    const auto ini = TArquivoIni::Interpretar(LerArquivo(Config()));
    EXPECT_EQ(ini.Ler("Termos", "Aceito"), "2025-01-01");
    EXPECT_EQ(ini.Ler("Geral", "Volume"), "65");
}

// The shop's own notes in config.ini outlive every save.
TEST_F(Configuracoes, ComentariosDaLojaFicam) {
    const TConfiguracoes c = CarregarCom(
        "; config da loja 12 - nao mexer\r\nresponsavel=Ana\r\n"
        "[Geral]\r\n; baixo por causa dos vizinhos\r\nVolume=35\r\n");
    EXPECT_EQ(c.Volume, 35);
    c.Salvar();
    const std::string texto = LerArquivo(Config());
    EXPECT_EQ(texto.rfind("; config da loja 12 - nao mexer\r\nresponsavel=Ana\r\n", 0), 0u)
        << texto;
    EXPECT_NE(texto.find("[Geral]\r\n; baixo por causa dos vizinhos\r\n"), std::string::npos)
        << texto;
    c.Salvar();
    EXPECT_EQ(LerArquivo(Config()), texto);
    TConfiguracoes d;
    d.Carregar();
    EXPECT_EQ(d.Volume, 35);
}

TEST_F(Configuracoes, PrimeiraExecucaoSemExemplos) {
    TConfiguracoes c;
    c.Carregar();
    EXPECT_EQ(c.NomeEmpresa, "nossa loja");
    // The test binary has no Exemplos folder beside it.
    EXPECT_EQ(c.PastaMusicas, "");
    EXPECT_EQ(c.PastaPropagandas, "");
    ASSERT_EQ(c.Mensagens.size(), 3u);
    EXPECT_EQ(c.Mensagens[0], "Bem-vindo {à empresa}! Aproveite as ofertas do dia.");
    // The defaults are not written until a save.
    EXPECT_FALSE(std::filesystem::exists(Mensagens()));
}

TEST_F(Configuracoes, MensagensLidas) {
    EscreverArquivo(Config(), "[Geral]\n");
    EscreverArquivo(Mensagens(), "");
    TConfiguracoes vazio;
    vazio.Carregar();
    EXPECT_TRUE(vazio.Mensagens.empty());

    // UTF-16 with its mark, and a converter over the whole text.
    EscreverArquivo(Mensagens(),
                    std::string("\xFF\xFE"
                                "a\0\r\0\n\0\r\0\n\0b\0",
                                14));
    TConfiguracoes c;
    TConversoresConfig conversores;
    conversores.Mensagens = [](const std::string& ATexto) { return ATexto + "\n"; };
    c.Carregar(conversores);
    EXPECT_EQ(c.Mensagens, (std::vector<std::string>{"a", "", "b"}));

    conversores.Mensagens = [](const std::string& ATexto) {
        std::string r = ATexto;
        for (auto& ch : r) {
            ch = ch == 'a' ? 'A' : ch;
        }
        return r;
    };
    c.Carregar(conversores);
    EXPECT_EQ(c.Mensagens, (std::vector<std::string>{"A", "", "b"}));
}

TEST(ConfiguracoesFechamento, MinutoFechamento) {
    struct TCaso {
        const char* Texto;
        int Esperado;
    };
    const TCaso casos[] = {{"18:30", 1110},
                           {"7:5", 425},
                           {" 7 : 05 ", 425},
                           {"0:00", 0},
                           {"24:00", -1},
                           {"18", -1},
                           {"18:30:00", -1},
                           {"18:", -1},
                           {"abc", -1},
                           {"23:60", -1},
                           {"-1:30", -1},
                           {"", -1}};
    for (const auto& caso : casos) {
        TConfiguracoes c;
        c.HorarioFechamento = caso.Texto;
        EXPECT_EQ(c.MinutoFechamento(), caso.Esperado) << caso.Texto;
    }
}

TEST(ConfiguracoesFechamento, ListaAvisos) {
    struct TCaso {
        const char* Texto;
        std::vector<int> Esperado;
    };
    const TCaso casos[] = {{"30,15,5", {30, 15, 5}},
                           {"30, 15;5", {30, 15, 5}},
                           {"0,-5,x,10", {10}},
                           {"", {}},
                           {"5,5", {5, 5}}};
    for (const auto& caso : casos) {
        TConfiguracoes c;
        c.AvisosFechamento = caso.Texto;
        EXPECT_EQ(c.ListaAvisos(), caso.Esperado) << caso.Texto;
    }
}
