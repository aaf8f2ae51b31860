#include <QApplication>
#include <QImage>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTest>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "ambiente/uTermos.h"
#include "apoio/uMidia.h"
#include "janelas/uApoioJanelas.h"
#include "janelas/uComponentes.h"
#include "janelas/uFrmChamadas.h"
#include "janelas/uFrmPrincipal.h"
#include "janelas/uFrmWidget.h"
#include "janelas/uNovidades.h"
#include "janelas/uStatus.h"
#include "janelas/uTemas.h"
#include "janelas/uTermosJanela.h"
#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// The window on the fake device and clock, offscreen; screenshots go to the
// build's artifacts folder.
class Janela : public testing::Test {
  protected:
    static void SetUpTestSuite() { GarantirAplicacao(); }
    void SetUp() override {
        // The user's own state (release notes seen, terms) stays in the test.
        ::setenv("XDG_CONFIG_HOME", A.Pasta("config").c_str(), 1);
        MarcarNotasVistas();
        AplicarTema(QString::fromUtf8(kTemaPadrao));
    }
    void TearDown() override {
        FJanela.reset();
        A.Programa.reset();
        ::unsetenv("XDG_CONFIG_HOME");
    }
    TfrmPrincipal& Criar(const std::function<void(TConfiguracoes&)>& AConfig = {},
                         TOpcoesPrograma AOpcoes = {},
                         bool AOculta = false) {
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.PastaPropagandas = A.Pasta("propagandas");
            c.TransicaoSegundos = 0;
            c.VolumeAutomatico = false;
            if (AConfig) {
                AConfig(c);
            }
        });
        FJanela =
            std::make_unique<TfrmPrincipal>(DependenciasJanela(A, FPrograma), std::move(AOpcoes));
        FJanela->Iniciar(AOculta);
        A.EsperarListas(FPrograma);
        return *FJanela;
    }
    // Fake time passes; the window's tick runs as its timer would.
    void Avancar(int AMs) {
        for (int t = 0; t < AMs; t += 100) {
            A.Relogio.Avancar(100);
            A.Fila.Drenar();
            FJanela->Tick();
        }
        QApplication::processEvents();
    }
    // Runs Qt's events (a cover decoded off the main thread) until ACondicao.
    bool EsperarQt(const std::function<bool()>& ACondicao) {
        for (int i = 0; i < 500 && !ACondicao(); ++i) {
            A.Fila.Drenar();
            QTest::qWait(10);
        }
        return ACondicao();
    }
    void Foto(const std::string& ANome) {
        QApplication::processEvents();
        const QImage imagem = FJanela->grab().toImage();
        ASSERT_TRUE(imagem.save(QString::fromStdString(Artefatos() + ANome)));
    }
    TAmbienteProgramacao A;
    TPrograma* FPrograma = nullptr;  // the window's
    TPrograma& Prog() { return *FPrograma; }
    std::unique_ptr<TfrmPrincipal> FJanela;
};

}  // namespace

// Dark and light themes: grey and accent colours are moved towards white or
// black until their contrast reaches 3, and no further.
TEST(Cores, CorLegivel) {
    GarantirAplicacao();
    struct TCaso {
        const char* Nome;
        QColor Cor;
        QColor Fundo;
        int Sentido;  // +1 lighter, -1 darker, 0 unchanged
    };
    const TCaso casos[] = {
        {"cinzaNoEscuro", QColor(0x60, 0x60, 0x60), QColor(0x2B, 0x2B, 0x2B), +1},
        {"carmesimNoEscuro", kCarmesim, QColor(0x2B, 0x2B, 0x2B), +1},
        {"azulNoPreto", kAzul, QColor(0x00, 0x00, 0x00), 0},
        {"azulNoEscuroMedio", kAzul, QColor(0x3E, 0x46, 0x50), +1},
        {"ambarNoClaro", kAmbar, QColor(0xF0, 0xF0, 0xF0), -1},
        {"cinzaNoClaro", QColor(0x6D, 0x6D, 0x6D), QColor(0xF0, 0xF0, 0xF0), 0},
    };
    for (const auto& c : casos) {
        const QColor r = CorLegivel(c.Cor, c.Fundo);
        EXPECT_GE(Contraste(r, c.Fundo), 3.0) << c.Nome;
        const double antes = Luminancia(c.Cor);
        const double depois = Luminancia(r);
        EXPECT_EQ(depois > antes ? 1 : depois < antes ? -1 : 0, c.Sentido) << c.Nome;
    }
    EXPECT_NEAR(Contraste(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(Luminancia(QColor(0x80, 0x80, 0x80)), 0.2158605, 1e-6);
    // Amber on white: the blend of one tenth towards black (242,162,0) has a
    // contrast below 3; the answer is the first that reaches it.
    const QColor ambar = CorLegivel(kAmbar, Qt::white);
    EXPECT_GE(Contraste(ambar, Qt::white), 3.0);
    const QColor umPassoAntes(ambar.red() + 26, ambar.green() + 18, 0);
    EXPECT_LT(Contraste(umPassoAntes, Qt::white), 3.0);
}

// The five texts fitted to the width: the message count, then the
// advertisement count, then the closing time go first, then the music total
// is cut; the next-item text takes what is left; the tooltip keeps all.
TEST(Status, Ajuste) {
    const std::array<std::string, 5> textos = {"Músicas: 120  ·  8h 12min",
                                               "Propagandas: 12",
                                               "Mensagens: 3",
                                               "Propaganda em 2 músicas",
                                               "Fechamento: 18:00"};
    const auto largura = [](const std::string& AT) {
        return static_cast<int>(ContarCaracteres(AT)) * 7;
    };
    struct TCaso {
        int Disponivel;
        std::vector<std::string> Mostrados;
    };
    const TCaso casos[] = {
        {900,
         {"Músicas: 120  ·  8h 12min",
          "Propagandas: 12",
          "Mensagens: 3",
          "Propaganda em 2 músicas",
          "Fechamento: 18:00"}},
        {700,
         {"Músicas: 120  ·  8h 12min",
          "Propagandas: 12",
          "Propaganda em 2 músicas",
          "Fechamento: 18:00"}},
        {600, {"Músicas: 120  ·  8h 12min", "Propaganda em 2 músicas", "Fechamento: 18:00"}},
        {500, {"Músicas: 120  ·  8h 12min", "Propaganda em 2 músicas"}},
        {370, {"Músicas: 120", "Propaganda em 2 músicas"}},
    };
    for (const auto& c : casos) {
        const TStatusAjustado r = AjustarTextosStatus(textos, c.Disponivel, largura, 22);
        std::vector<std::string> mostrados;
        int soma = 0;
        for (const auto& p : r.Paineis) {
            mostrados.push_back(p.Texto);
            soma += p.Largura;
        }
        EXPECT_EQ(mostrados, c.Mostrados) << c.Disponivel;
        EXPECT_GE(soma, std::min(c.Disponivel, soma)) << c.Disponivel;
        EXPECT_EQ(r.Dica,
                  "Músicas: 120  ·  8h 12min\nPropagandas: 12\nMensagens: 3\nPropaganda em 2 "
                  "músicas\nFechamento: 18:00");
    }
    // The next-item text fills the rest.
    const auto largo = AjustarTextosStatus(textos, 900, largura, 22);
    int outros = 0;
    for (const auto& p : largo.Paineis) {
        outros += p.Texto == "Propaganda em 2 músicas" ? 0 : p.Largura;
    }
    EXPECT_EQ(largo.Paineis[3].Largura, 900 - outros);
    // Empty slots take no panel.
    const auto vazio =
        AjustarTextosStatus({"Músicas: 0", "", "", "Sem propagandas", ""}, 600, largura, 22);
    EXPECT_EQ(vazio.Paineis.size(), 2u);
    EXPECT_EQ(vazio.Dica, "Músicas: 0\nSem propagandas");
}

TEST(Capa, TamanhoEEncaixe) {
    GarantirAplicacao();
    QImage grande(1000, 500, QImage::Format_RGB32);
    grande.fill(Qt::red);
    const QImage capa = PrepararCapa(grande, Qt::black);
    EXPECT_EQ(capa.size(), QSize(512, 256));
    EXPECT_EQ(PrepararCapa(QImage(300, 600, QImage::Format_RGB32), Qt::black).size(),
              QSize(256, 512));
    EXPECT_EQ(PrepararCapa(QImage(100, 40, QImage::Format_RGB32), Qt::black).size(),
              QSize(100, 40));
    EXPECT_EQ(PrepararCapa(QImage(2000, 1, QImage::Format_RGB32), Qt::black).size(), QSize(512, 1));
    EXPECT_TRUE(PrepararCapa(QImage(), Qt::black).isNull());
    // Drawn full width, centred down; a portrait one full height, centred across.
    EXPECT_EQ(EncaixarCapa(QSize(512, 256), QRect(0, 0, 112, 112)), QRect(0, 28, 112, 56));
    EXPECT_EQ(EncaixarCapa(QSize(256, 512), QRect(0, 0, 112, 112)), QRect(28, 0, 56, 112));
    EXPECT_EQ(EncaixarCapa(QSize(300, 300), QRect(0, 0, 80, 80)), QRect(0, 0, 80, 80));
}

TEST(Progresso, Clique) {
    struct TCaso {
        int X, Largura, Duracao, Esperado;
    };
    const TCaso casos[] = {{0, 784, 180000, 0},
                           {392, 784, 180000, 90000},
                           {784, 784, 180000, 180000},
                           {900, 784, 180000, 180000},
                           {100, 784, 0, -1},
                           {1, 3, 2147483647, 715827882}};
    for (const auto& c : casos) {
        EXPECT_EQ(TBarraProgresso::PosicaoDoClique(c.X, c.Largura, c.Duracao), c.Esperado)
            << c.X << "/" << c.Largura;
    }
    EXPECT_EQ(FormatarTempo(0), "0:00");
    EXPECT_EQ(FormatarTempo(61999), "1:01");
    EXPECT_EQ(FormatarTempo(3725000), "62:05");
}

// What the labels say playing, paused, stopped, in a break; the tray's tip.
// The menu's "Chamadas rápidas" entry on a box where the program is not
// running yet: the first copy opens the quick-calls window, hidden start or
// not (the command line's action 4 belongs to the window, not the programme).
TEST_F(Janela, ChamadasNaLinhaDeComandoAbreAJanelaDeChamadas) {
    for (const bool oculta : {false, true}) {
        SCOPED_TRACE(oculta ? "oculta" : "visivel");
        TOpcoesPrograma opcoes;
        opcoes.Linha.Comando = 4;
        TfrmPrincipal& j = Criar({}, std::move(opcoes), oculta);
        ASSERT_TRUE(EsperarQt(
            [] { return TfrmChamadas::Atual() != nullptr && TfrmChamadas::Atual()->isVisible(); }));
        EXPECT_TRUE(j.isVisible());
        FJanela.reset();
        A.Programa.reset();
        EXPECT_EQ(TfrmChamadas::Atual(), nullptr);
    }
}

// Started hidden, as the autostart entry does after a reboot: the quick
// controls come up with the tray icon unless the shop turned them off.
TEST_F(Janela, InicioOcultoMostraOsControlesRapidos) {
    for (const bool naBandeja : {true, false}) {
        SCOPED_TRACE(naBandeja ? "WidgetNaBandeja" : "sem widget");
        TfrmPrincipal& j =
            Criar([&](TConfiguracoes& c) { c.WidgetNaBandeja = naBandeja; }, {}, true);
        QApplication::processEvents();
        EXPECT_EQ(j.Widget() != nullptr && j.Widget()->isVisible(), naBandeja);
        FJanela.reset();
        A.Programa.reset();
    }
}

TEST_F(Janela, TextosPorEstado) {
    A.CriarArquivos("musicas", {"01 Abertura.wav", "02 Segunda.wav"}, 3000);
    A.CriarArquivos("propagandas", {"Oferta da semana.wav"}, 2000);
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) { c.MusicasEntrePropagandas = 1; });
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  PARADO");
    Prog().Tocar();
    Avancar(1500);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  TOCANDO AGORA");
    EXPECT_EQ(j.TextoTitulo().toStdString(), "01 Abertura");
    EXPECT_EQ(j.TextoTempo().toStdString(), "0:01");
    EXPECT_EQ(j.TextoDuracao().toStdString(), "0:03");
    EXPECT_EQ(j.Bandeja()->toolTip().toStdString(), "Loja Sonorante - 01 Abertura");
    Prog().Pausar();
    Avancar(100);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  PAUSADO");
    EXPECT_EQ(j.Bandeja()->toolTip().toStdString(), "Loja Sonorante - pausado");
    Prog().Pausar();
    Avancar(2000);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  PROPAGANDA");
    EXPECT_EQ(j.CaixaCapa().GlifoAtual(), kGlifoPropaganda);
    Foto("janela-escura-intervalo.png");
    Prog().Parar();
    Avancar(100);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  PARADO");
    EXPECT_EQ(j.TextoTitulo().toStdString(), "Pronto para tocar");
    EXPECT_EQ(j.TextoTempo().toStdString(), "0:00");
    EXPECT_EQ(j.Bandeja()->toolTip().toStdString(), "Loja Sonorante - parado");
    EXPECT_EQ(j.TextoLocutor().toStdString(), "Locutor aguardando...");
    // Speaking with the fallback voice: the words of this system, not another's.
    j.MostrarLocutor("Atenção, clientes", true, "voz natural indisponível");
    EXPECT_EQ(j.TextoLocutor().toStdString(), "Atenção, clientes   ⚠ voz do sistema");
}

// A title of 200 characters: the tray's tip stops at 120.
TEST_F(Janela, DicaDaBandejaTem120Caracteres) {
    const std::string longo(200, 'x');
    A.CriarArquivos("musicas", {longo + ".wav"}, 3000);
    TfrmPrincipal& j = Criar();
    Prog().Tocar();
    Avancar(100);
    EXPECT_EQ(j.Bandeja()->toolTip().size(), 120);
    EXPECT_TRUE(j.Bandeja()->toolTip().startsWith(QStringLiteral("Loja Sonorante - xxx")));
}

// The auto-volume suffix in Brazilian number format, with the minus sign.
TEST_F(Janela, SufixoDoVolumeAutomatico) {
    GerarTom(A.Pasta("musicas/1 referencia.wav"), 3, 997, 0.1, {"-c:a", "pcm_s16le"});
    GerarTom(A.Pasta("musicas/2 alta.wav"), 3, 997, 0.1679, {"-c:a", "pcm_s16le"});
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) {
        c.VolumeAutomatico = true;
        c.ReferenciaVolume = -999;
    });
    // Measured on the worker before the first song starts.
    ASSERT_TRUE(A.EsperarAte([&] {
        return Prog().VolumeAuto().Medida(A.Pasta("musicas/1 referencia.wav")) &&
               Prog().VolumeAuto().Medida(A.Pasta("musicas/2 alta.wav"));
    }));
    Prog().Tocar();
    Avancar(100);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  TOCANDO AGORA   ·   VOLUME AUTO: REFERÊNCIA");
    Avancar(3000);
    EXPECT_EQ(j.TextoTipo().toStdString(), "●  TOCANDO AGORA   ·   VOLUME AUTO \u22124,5 dB");
}

// Layout at 640 and 960: the cover's size, the anchored controls, the status
// bar's dropping order on the narrow window.
TEST_F(Janela, Disposicao) {
    A.CriarArquivos("musicas", {"01 Abertura.wav"}, 3000);
    A.CriarArquivos("propagandas", {"Oferta.wav"}, 3000);
    TfrmPrincipal& j = Criar([](TConfiguracoes& c) {
        c.AvisoFechamento = true;
        c.HorarioFechamento = "18:00";
        c.NoticiasAtivas = true;
    });
    j.resize(960, 680);
    QApplication::processEvents();
    EXPECT_EQ(j.CaixaCapa().geometry(), QRect(24, 20, 112, 112));
    EXPECT_EQ(j.BarraProgresso().geometry(), QRect(152, 98, 784, 22));
    const auto largo = j.BarraStatus().Paineis();
    EXPECT_EQ(largo.size(), 5u);
    j.resize(640, 560);
    QApplication::processEvents();
    EXPECT_EQ(j.CaixaCapa().geometry(), QRect(24, 36, 80, 80));
    EXPECT_EQ(j.BarraProgresso().geometry().left(), 24 + 80 + 16);
    EXPECT_EQ(j.BarraProgresso().geometry().right(), 640 - 24 - 1);
    const auto estreito = j.BarraStatus().Paineis();
    ASSERT_LT(estreito.size(), 5u);
    EXPECT_EQ(estreito.front().first.toStdString().rfind("Músicas: 1", 0), 0u);
    EXPECT_NE(j.BarraStatus().toolTip().toStdString().find("Mensagens: 3"), std::string::npos);
    Prog().Tocar();
    Avancar(500);
    Foto("janela-estreita.png");
}

// A click on the bar seeks the current item.
TEST_F(Janela, CliqueNaBarraPosiciona) {
    A.CriarArquivos("musicas", {"01 Longa.wav"}, 60000);
    TfrmPrincipal& j = Criar();
    Prog().Tocar();
    Avancar(1000);
    TBarraProgresso& barra = j.BarraProgresso();
    QTest::mouseClick(&barra, Qt::LeftButton, {}, QPoint(barra.width() / 2, 10));
    Avancar(100);
    EXPECT_NEAR(Prog().Posicao(), 30000, 400);
    EXPECT_EQ(j.TextoTempo().toStdString(), "0:30");
}

// A 1000 x 500 cover in the file's tags: decoded off the main thread into a
// 512 x 256 picture and drawn full width; then the light theme.
TEST_F(Janela, CapaDaMusicaEOTemaClaro) {
    const std::string pasta = A.Pasta("musicas");
    std::filesystem::create_directories(pasta);
    QImage capa(1000, 500, QImage::Format_RGB32);
    capa.fill(QColor(30, 120, 200));
    {
        QPainter p(&capa);
        p.fillRect(0, 0, 500, 500, QColor(240, 180, 20));
    }
    ASSERT_TRUE(capa.save(QString::fromStdString(A.Pasta("capa.png"))));
    RodarFfmpeg({"-f",
                 "lavfi",
                 "-i",
                 "sine=duration=5",
                 "-i",
                 A.Pasta("capa.png"),
                 "-map",
                 "0",
                 "-map",
                 "1",
                 "-c:a",
                 "libmp3lame",
                 "-c:v",
                 "png",
                 "-id3v2_version",
                 "3",
                 "-metadata",
                 "title=Manhã de Sol",
                 "-metadata",
                 "artist=Banda da Praça",
                 "-metadata",
                 "album=Verão",
                 "-metadata",
                 "date=2024",
                 "-metadata:s:v",
                 "comment=Cover (front)",
                 pasta + "/01 Manhã.mp3"});
    TfrmPrincipal& j = Criar();
    Prog().Tocar();
    ASSERT_TRUE(EsperarQt([&] { return !j.CaixaCapa().Capa().isNull(); }));
    EXPECT_EQ(j.CaixaCapa().Capa().size(), QSize(512, 256));
    EXPECT_EQ(j.TextoInfo().toStdString(), "Manhã de Sol  ·  Banda da Praça  ·  Verão  ·  2024");
    Avancar(1000);
    Foto("janela-escura-capa.png");
    Prog().Config().Tema = "Windows10";
    j.AplicarTemaEscolhido();
    QApplication::processEvents();
    Foto("janela-clara-capa.png");
    EXPECT_GT(Luminancia(j.palette().color(QPalette::Button)), 0.3);
}

// Closing: with close-to-tray on and no tray (offscreen) the window is
// minimised, never hidden out of reach; with it off the program ends.
TEST_F(Janela, FecharSemBandejaMinimiza) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    A.CriarArquivos("musicas", {"01.wav"}, 3000);
    TfrmPrincipal& j = Criar();
    j.close();
    QApplication::processEvents();
    EXPECT_TRUE(j.isVisible());
    EXPECT_TRUE(j.isMinimized());
    EXPECT_FALSE(j.AvisouBandeja());
    Prog().Config().FecharParaBandeja = false;
    j.showNormal();
    EXPECT_TRUE(j.close());
    EXPECT_FALSE(j.isVisible());
}

TEST(Novidades, Leitura) {
    const auto v = LerNotas(
        "# comentario\n"
        "+ antes de qualquer versao\n"
        "=2.0.0 | 01/02/2027 | Grande\r\n"
        "+ Nova coisa\n"
        "~  Melhor  \n"
        " + com espaco no inicio\n"
        "! Conserto\n"
        "? outro tipo\n"
        "ab\n"
        "=1.9.0|05/01/2027\n"
        "=1.8.0\n"
        "+ Uma\n");
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].Numero, "2.0.0");
    EXPECT_EQ(v[0].Data, "01/02/2027");
    EXPECT_EQ(v[0].Titulo, "Grande");
    EXPECT_EQ(v[0].Notas,
              (std::vector<TNota>{{'+', "Nova coisa"}, {'~', "Melhor"}, {'!', "Conserto"}}));
    EXPECT_EQ(v[1].Numero, "1.9.0");
    EXPECT_EQ(v[1].Data, "05/01/2027");
    EXPECT_EQ(v[1].Titulo, "");
    EXPECT_TRUE(v[1].Notas.empty());
    EXPECT_EQ(v[2].Data, "");
    // The built-in document: this version first.
    GarantirAplicacao();
    const auto proprias = LerNotas(TextoNovidades());
    ASSERT_FALSE(proprias.empty());
    EXPECT_EQ(proprias[0].Numero, kVersaoPrograma);
}

// "VersaoVista": an older version shows the notes once; after them, nothing.
TEST(Novidades, VistaUmaVez) {
    TPastaTemporaria pasta;
    ::setenv("XDG_CONFIG_HOME", pasta.Caminho().c_str(), 1);
    EXPECT_TRUE(NotasPendentes());
    ASSERT_TRUE(GravarEstadoUsuario("Novidades", "VersaoVista", "1.19.1"));
    EXPECT_TRUE(NotasPendentes());
    MarcarNotasVistas();
    EXPECT_FALSE(NotasPendentes());
    EXPECT_EQ(LerEstadoUsuario("Novidades", "VersaoVista"), kVersaoPrograma);
    ::unsetenv("XDG_CONFIG_HOME");
}

// The terms: acceptance kept per user with its date and version; the PDF
// copy is a PDF.
TEST(Termos, AceiteEPdf) {
    GarantirAplicacao();
    TPastaTemporaria pasta;
    ::setenv("XDG_CONFIG_HOME", pasta.Caminho().c_str(), 1);
    EXPECT_FALSE(TermosAceitos());
    ASSERT_TRUE(RegistrarAceiteTermos(CodificarData(2026, 12, 10) + CodificarHora(9, 30)));
    EXPECT_TRUE(TermosAceitos());
    EXPECT_EQ(LerEstadoUsuario("Termos", "Data"), "10/12/2026 09:30");
    const QString pdf = QString::fromStdString(pasta / "termos.pdf");
    ASSERT_TRUE(GravarPdfTermos(pdf, QStringLiteral("10/12/2026 09:30")));
    const std::string bytes = LerArquivo(pdf.toStdString());
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_GT(bytes.size(), 2000u);
    ::unsetenv("XDG_CONFIG_HOME");
}
