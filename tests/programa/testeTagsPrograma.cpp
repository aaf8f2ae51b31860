#include <cstdio>

#include <gtest/gtest.h>

#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"
#include "programa/uFerramentas.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// Records the tags the face was given.
class TVisaoComTags : public TVisaoGravada {
  public:
    void MostrarTags(const TTagsAudio& ATags, const std::string& ALinha) override {
        Tags = ATags;
        Linha = ALinha;
        ++Vezes;
    }
    TTagsAudio Tags;
    std::string Linha;
    int Vezes = 0;
};

}  // namespace

// The tag line reaches the phone's state report and the face once read off
// the main thread; a stopped programme reports none; the next item brings
// its own.
TEST(TagsNoPrograma, LinhaNoEstadoENaFace) {
    TAmbienteProgramacao a;
    const std::string pasta = a.Pasta("musicas");
    std::filesystem::create_directories(pasta);
    RodarFfmpeg({"-f",
                 "lavfi",
                 "-i",
                 "sine=duration=2",
                 "-c:a",
                 "libmp3lame",
                 "-metadata",
                 "title=Primeira Canção",
                 "-metadata",
                 "artist=Grupo Teste",
                 "-metadata",
                 "album=Disco",
                 "-metadata",
                 "date=2003",
                 pasta + "/01 faixa.mp3"});
    RodarFfmpeg({"-f",
                 "lavfi",
                 "-i",
                 "sine=duration=2",
                 "-c:a",
                 "libmp3lame",
                 "-metadata",
                 "title=Segunda",
                 "-metadata",
                 "artist=Outro",
                 pasta + "/02 Segunda.mp3"});
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = pasta;
        c.TransicaoSegundos = 0;
    });
    TVisaoComTags visao;
    a.Programa = std::make_unique<TPrograma>(
        a.Relogio, a.Fila, visao, a.Dispositivo, a.Voz, TOpcoesPrograma{});
    TPrograma& p = *a.Programa;
    p.Iniciar();
    a.EsperarListas();
    p.Tocar();
    ASSERT_TRUE(a.EsperarAte([&] { return !p.Info().empty(); }));
    EXPECT_EQ(p.Info(), "Primeira Canção  ·  Grupo Teste  ·  Disco  ·  2003");
    EXPECT_EQ(visao.Linha, p.Info());
    EXPECT_EQ(visao.Tags.Artista, "Grupo Teste");
    const TJson estado = TJson::parse(ExecutarComando(p, "estado", TJson::object()));
    EXPECT_EQ(estado["info"], "Primeira Canção  ·  Grupo Teste  ·  Disco  ·  2003");

    p.Proxima();
    ASSERT_TRUE(a.EsperarAte([&] { return p.Info() == "Outro"; }));  // the title is in the name
    p.Parar();
    EXPECT_EQ(TJson::parse(ExecutarComando(p, "estado", TJson::object()))["info"], "");
    a.Programa.reset();
}

// --tags printed tags and file names as they came, so a file could drive
// the terminal with escape sequences or reverse what follows it; they are
// cleaned as the log's lines are.
TEST(TagsNoPrograma, FerramentaNaoPassaControlesAoTerminal) {
    TPastaTemporaria pasta;
    const std::string arquivo = pasta / "a\x1b[2Jb.mp3";
    RodarFfmpeg({"-f",
                 "lavfi",
                 "-i",
                 "sine=duration=1",
                 "-c:a",
                 "libmp3lame",
                 "-metadata",
                 "title=T\x1b]0;tomado\x07\u202Eoid\u2028",
                 "-metadata",
                 "artist=Grupo\rTeste",
                 arquivo});
    std::FILE* saida = std::tmpfile();
    ASSERT_NE(saida, nullptr);
    EXPECT_EQ(FerramentaTags({arquivo, pasta / "falta\x1b[0m.mp3"}, saida), 1);
    std::rewind(saida);
    std::string texto;
    for (int c = std::fgetc(saida); c != EOF; c = std::fgetc(saida)) {
        texto += static_cast<char>(c);
    }
    std::fclose(saida);
    for (const char c : texto) {
        EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 || c == '\n')
            << "control byte " << static_cast<int>(static_cast<unsigned char>(c));
    }
    for (const char* marca : {"\u202E", "\u2028"}) {
        EXPECT_EQ(texto.find(marca), std::string::npos) << texto;
    }
    EXPECT_NE(texto.find("Titulo: T ]0;tomado  oid \n"), std::string::npos) << texto;
    EXPECT_NE(texto.find("Artista: Grupo Teste\n"), std::string::npos) << texto;
}
