#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "audio/uTags.h"

using namespace ljsn;
using namespace ljsn::teste;
using TBytes = std::vector<std::uint8_t>;

namespace {

// The bytes of a literal, embedded zeros included.
template <std::size_t N>
TBytes Bytes(const char (&ATexto)[N]) {
    return TBytes(ATexto, ATexto + N - 1);
}

// The whole-tag unsynchronisation a writer applies: a 0x00 after every 0xFF
// that is followed by 0x00, by 0xE0 or more, or by nothing.
TBytes Sincronizar(const TBytes& ADados) {
    TBytes r;
    for (std::size_t i = 0; i < ADados.size(); ++i) {
        r.push_back(ADados[i]);
        if (ADados[i] == 0xFF &&
            (i + 1 == ADados.size() || ADados[i + 1] == 0 || ADados[i + 1] >= 0xE0)) {
            r.push_back(0);
        }
    }
    return r;
}

TBytes Juntar(std::initializer_list<TBytes> APartes) {
    TBytes r;
    for (const auto& p : APartes) {
        r.insert(r.end(), p.begin(), p.end());
    }
    return r;
}

TBytes Sincronizado(std::uint32_t AN) {
    return {static_cast<std::uint8_t>((AN >> 21) & 0x7F),
            static_cast<std::uint8_t>((AN >> 14) & 0x7F),
            static_cast<std::uint8_t>((AN >> 7) & 0x7F),
            static_cast<std::uint8_t>(AN & 0x7F)};
}

TBytes Grande32(std::uint32_t AN) {
    return {static_cast<std::uint8_t>(AN >> 24),
            static_cast<std::uint8_t>(AN >> 16),
            static_cast<std::uint8_t>(AN >> 8),
            static_cast<std::uint8_t>(AN)};
}

// A frame of version 3 or 4 (size big-endian or synchsafe), or 2 (24 bits).
TBytes Quadro(int AVersao, const char* AId, const TBytes& ADados, std::uint8_t AFormato = 0) {
    const auto n = static_cast<std::uint32_t>(ADados.size());
    if (AVersao == 2) {
        return Juntar({TBytes(AId, AId + 3),
                       {static_cast<std::uint8_t>(n >> 16),
                        static_cast<std::uint8_t>(n >> 8),
                        static_cast<std::uint8_t>(n)},
                       ADados});
    }
    return Juntar({TBytes(AId, AId + 4),
                   AVersao == 3 ? Grande32(n) : Sincronizado(n),
                   {0, AFormato},
                   ADados});
}

TBytes Texto(std::uint8_t ACodificacao, const TBytes& ATexto) {
    return Juntar({{ACodificacao}, ATexto});
}

TBytes Tag(int AVersao, const TBytes& ACorpo, std::uint8_t AFlags = 0) {
    return Juntar({Bytes("ID3"),
                   {static_cast<std::uint8_t>(AVersao), 0, AFlags},
                   Sincronizado(static_cast<std::uint32_t>(ACorpo.size())),
                   ACorpo});
}

TTagsAudio Ler(const TBytes& ATag) {
    TTagsAudio t;
    LerId3v2(ATag, t);
    return t;
}

// "Tom" in UTF-16 little-endian, without a byte-order mark.
const TBytes kTomLE = {'T', 0, 'o', 0, 'm', 0};

}  // namespace

TEST(Tags, NomesDeGenero) {
    struct TCaso {
        const char* Texto;
        const char* Nome;
    };
    const TCaso casos[] = {{"(17)", "Rock"},
                           {"17", "Rock"},
                           {"(17)Rock and Roll", "Rock and Roll"},
                           {"(17)  ", "Rock"},
                           {"80", ""},
                           {"(80)", ""},
                           {"(RX)", "(RX)"},
                           {"Forró", "Forró"},
                           {"0", "Blues"},
                           {"79", "Hard Rock"},
                           {"-1", ""}};
    for (const auto& c : casos) {
        EXPECT_EQ(NomeGenero(c.Texto), c.Nome) << c.Texto;
    }
}

TEST(Tags, LinhaDeInformacao) {
    TTagsAudio t;
    t.Titulo = "My Song";
    t.Artista = "Banda";
    t.Ano = "1999";
    EXPECT_EQ(LinhaInfo(t, "01 - My Song"), "Banda  ·  1999");
    EXPECT_EQ(LinhaInfo(t, "01 - my song (ao vivo)"), "Banda  ·  1999");
    EXPECT_EQ(LinhaInfo(t, "track01"), "My Song  ·  Banda  ·  1999");
    EXPECT_EQ(LinhaInfo(TTagsAudio(), "qualquer"), "");
}

// The Part's cases, each tag built byte by byte.
TEST(Tags, CasosDoId3v2) {
    // Version 2.4 date and genre.
    auto t = Ler(Tag(4,
                     Juntar({Quadro(4, "TDRC", Texto(3, Bytes("2019-05-01T10:00"))),
                             Quadro(4, "TCON", Texto(0, Bytes("(17)")))})));
    EXPECT_EQ(t.Ano, "2019");
    EXPECT_EQ(t.Genero, "Rock");

    // UTF-16 without a mark: encoding 1 is little-endian; encoding 2 with
    // FF FE is little-endian too.
    t = Ler(Tag(3,
                Juntar({Quadro(3, "TIT2", Texto(1, kTomLE)),
                        Quadro(3, "TPE1", Texto(2, Juntar({{0xFF, 0xFE}, kTomLE})))})));
    EXPECT_EQ(t.Titulo, "Tom");
    EXPECT_EQ(t.Artista, "Tom");

    // Text cut at the first 0 and trimmed; only the first of a kind counts.
    t = Ler(Tag(3,
                Juntar({Quadro(3, "TALB", Texto(0, Bytes("  Disco\0lixo"))),
                        Quadro(3, "TALB", Texto(0, Bytes("Outro")))})));
    EXPECT_EQ(t.Album, "Disco");

    // Version 2.2, with its three-letter frames and PIC.
    t = Ler(
        Tag(2,
            Juntar({Quadro(2, "TT2", Texto(0, Bytes("Velha"))),
                    Quadro(2, "PIC", Juntar({{0}, Bytes("PNG"), {3}, Bytes("d\0"), {1, 2}}))})));
    EXPECT_EQ(t.Titulo, "Velha");
    EXPECT_EQ(t.CapaMime, "image/png");
    EXPECT_EQ(t.Capa, (TBytes{1, 2}));
    // ... and with the compression flag: nothing.
    EXPECT_EQ(Ler(Tag(2, Quadro(2, "TT2", Texto(0, Bytes("X"))), 0x40)), TTagsAudio());

    // Two pictures: a front cover after a back cover replaces it; a front
    // cover first keeps every later picture out.
    const TBytes verso = Juntar({{0}, Bytes("image/PNG\0"), {4}, Bytes("\0"), {9}});
    const TBytes frente = Juntar({{1}, Bytes("image/jpeg\0"), {3}, {'d', 0, 0, 0}, {7, 7}});
    t = Ler(Tag(3, Juntar({Quadro(3, "APIC", verso), Quadro(3, "APIC", frente)})));
    EXPECT_EQ(t.Capa, (TBytes{7, 7}));
    EXPECT_EQ(t.CapaMime, "image/jpeg");
    t = Ler(Tag(3, Juntar({Quadro(3, "APIC", frente), Quadro(3, "APIC", verso)})));
    EXPECT_EQ(t.Capa, (TBytes{7, 7}));
    t = Ler(Tag(3, Quadro(3, "APIC", verso)));
    EXPECT_EQ(t.CapaMime, "image/png");
    // A picture without bytes after its description is no picture.
    EXPECT_TRUE(Ler(Tag(3, Quadro(3, "APIC", Bytes("\0image/png\0\3desc\0")))).Capa.empty());

    // Frame flags: compressed skipped, grouping byte and data length dropped,
    // frame unsynchronisation removed (version 2.4).
    t = Ler(Tag(
        4,
        Juntar(
            {Quadro(4, "TIT2", Texto(0, Bytes("Zip")), 0x08),
             Quadro(4, "TIT2", Juntar({{0x55}, Grande32(4), Texto(0, Bytes("Grp"))}), 0x41),
             Quadro(4, "APIC", Juntar({Bytes("\0image/jpeg\0\3\0"), {0xFF, 0x00, 0xD8}}), 0x02)})));
    EXPECT_EQ(t.Titulo, "Grp");
    EXPECT_EQ(t.Capa, (TBytes{0xFF, 0xD8}));
    // Version 2.3: grouping byte dropped; compressed and encrypted skipped.
    t = Ler(Tag(3,
                Juntar({Quadro(3, "TPE1", Texto(0, Bytes("Enc")), 0x40),
                        Quadro(3, "TPE1", Juntar({{0x01}, Texto(0, Bytes("Grupo"))}), 0x20)})));
    EXPECT_EQ(t.Artista, "Grupo");

    // Whole-tag unsynchronisation (version 2.3) and an extended header.
    t = Ler(
        Tag(3,
            Sincronizar(Juntar(
                {Grande32(6), {0, 0, 0, 0, 0, 0}, Quadro(3, "TIT2", Texto(0, {'A', 0xFF, 0xE1}))})),
            0xC0));
    EXPECT_EQ(t.Titulo, "A\u00FF\u00E1");
}

// Declared sizes that lie never read outside the buffer: the walk stops and
// keeps what it found.
TEST(Tags, TamanhosMentirosos) {
    const TBytes bom = Quadro(3, "TIT2", Texto(0, Bytes("Antes")));
    struct TCaso {
        const char* Nome;
        TBytes Tag;
        const char* Titulo;
    };
    const TCaso casos[] = {
        {"quadroAlemDoFim",
         Tag(3, Juntar({bom, Bytes("TPE1"), Grande32(1000), {0, 0, 0, 'x'}})),
         "Antes"},
        {"tamanhoNegativo",
         Tag(3, Juntar({bom, Bytes("TPE1"), Grande32(0xFFFFFFF0), {0, 0}})),
         "Antes"},
        {"cabecalhoDeclaraMais",
         Juntar({Bytes("ID3"), {3, 0, 0}, Sincronizado(5000), bom}),
         "Antes"},
        {"bytesComBitAlto",
         Juntar({Bytes("ID3"),
                 {4, 0, 0},
                 {0xFF, 0xFF, 0xFF, 0xFF},
                 Quadro(4, "TIT2", Texto(0, Bytes("Alto")))}),
         "Alto"},
        {"cabecalhoEstendido4GiB", Tag(3, Juntar({Grande32(0xFFFFFFFF), bom}), 0x40), ""},
        {"estendidoV4Sincronizado", Tag(4, Juntar({{0x7F, 0x7F, 0x7F, 0x7F}, bom}), 0x40), ""},
        {"quadroV4ComBitAlto",
         Tag(4, Juntar({Bytes("TIT2"), {0x80, 0x80, 0x80, 0x85}, {0, 0}, Texto(0, Bytes("Oito"))})),
         "Oito"},
        {"soCabecalho", Bytes("ID3\3\0\0\0\0\0\0"), ""},
        {"curtoDemais", Bytes("ID3\3\0"), ""},
        {"versao5", Tag(5, bom), ""},
        {"figuraSemTipo", Tag(3, Juntar({bom, Quadro(3, "APIC", Bytes("\0image/jpeg"))})), "Antes"},
        {"picCurto", Tag(2, Quadro(2, "PIC", {0, 'J', 'P'})), ""},
        {"utf16Impar", Tag(3, Quadro(3, "TIT2", {1, 0xFF, 0xFE, 'A', 0, 'B'})), "A"},
        {"agrupamentoSemDados", Tag(4, Juntar({Quadro(4, "TIT2", {0}, 0x41), bom})), "Antes"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Ler(c.Tag).Titulo, c.Titulo) << c.Nome;
    }
}

TEST(Tags, Id3v1) {
    TBytes fim(128, 0);
    const auto escrever = [&](std::size_t AInicio, std::string_view ATexto) {
        std::copy(ATexto.begin(), ATexto.end(), fim.begin() + static_cast<std::ptrdiff_t>(AInicio));
    };
    escrever(0, "TAG");
    escrever(3, "T\xEDtulo  ");
    escrever(33, "Artista");
    escrever(93, "1975");
    fim[127] = 16;
    TTagsAudio t;
    t.Titulo = "Da v2";
    LerId3v1(fim, t);
    EXPECT_EQ(t.Titulo, "Da v2");
    EXPECT_EQ(t.Artista, "Artista");
    EXPECT_EQ(t.Album, "");
    EXPECT_EQ(t.Ano, "1975");
    EXPECT_EQ(t.Genero, "Reggae");
    fim[127] = 80;
    TTagsAudio sem;
    LerId3v1(fim, sem);
    EXPECT_EQ(sem.Titulo, "Título");
    EXPECT_EQ(sem.Genero, "");
}

namespace {

// A tagless MP3 shared by the oracle tests.
std::string Mp3SemTags() {
    return MidiaCompartilhada("tags",
                              [](const std::string& APasta) {
                                  RodarFfmpeg({"-f",
                                               "lavfi",
                                               "-i",
                                               "sine=frequency=440:duration=0.5",
                                               "-c:a",
                                               "libmp3lame",
                                               "-id3v2_version",
                                               "0",
                                               "-write_id3v1",
                                               "0",
                                               APasta + "sem-tags.mp3"});
                                  RodarFfmpeg({"-f",
                                               "lavfi",
                                               "-i",
                                               "sine=frequency=440:duration=0.5",
                                               "-c:a",
                                               "pcm_s16le",
                                               "-metadata",
                                               "title=Vinheta WAV",
                                               "-metadata",
                                               "artist=Estúdio",
                                               "-metadata",
                                               "album=Jingles",
                                               "-metadata",
                                               "genre=Jingle",
                                               "-metadata",
                                               "date=2021",
                                               APasta + "info.wav"});
                                  RodarFfmpeg({"-f",
                                               "lavfi",
                                               "-i",
                                               "sine=frequency=440:duration=0.5",
                                               "-c:a",
                                               "wmav2",
                                               "-metadata",
                                               "title=Propaganda WMA",
                                               "-metadata",
                                               "artist=Agência",
                                               "-metadata",
                                               "WM/Year=2020",
                                               APasta + "anuncio.wma"});
                              }) +
           "sem-tags.mp3";
}

// What mutagen wrote and reads back, for a scenario of tags_mutagen.py.
nlohmann::json EscreverComMutagen(const std::string& ACenario, const std::string& ASaida) {
    const std::string comando = std::string("/usr/bin/python3 ") + LJSN_TESTES_AUDIO +
                                "/tags_mutagen.py " + ACenario + " '" + Mp3SemTags() + "' '" +
                                ASaida + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(comando.c_str(), "r"), &::pclose);
    std::string saida;
    std::array<char, 4096> b{};
    while (p && std::fgets(b.data(), b.size(), p.get()) != nullptr) {
        saida += b.data();
    }
    return nlohmann::json::parse(saida);
}

std::string Hex(const TBytes& ADados) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string r;
    for (const auto b : ADados) {
        r += kHex[b >> 4];
        r += kHex[b & 15];
    }
    return r;
}

}  // namespace

// Tags written by mutagen, an implementation no one here wrote: our reader
// returns exactly what mutagen reads back, and TagLib agrees with us on the
// plain fields.
TEST(Tags, OraculoMutagen) {
    TPastaTemporaria pasta;
    for (const char* cenario : {"v23", "v24", "sincronia", "figuras", "v1", "ambas"}) {
        const std::string arquivo = pasta / (std::string(cenario) + ".mp3");
        const nlohmann::json m = EscreverComMutagen(cenario, arquivo);
        ASSERT_TRUE(m.is_object()) << cenario;
        const TTagsAudio t = LerTags(arquivo);
        EXPECT_EQ(t.Titulo, m["titulo"]) << cenario;
        EXPECT_EQ(t.Artista, m["artista"]) << cenario;
        EXPECT_EQ(t.Album, m["album"]) << cenario;
        EXPECT_EQ(t.Ano, m["ano"]) << cenario;
        EXPECT_EQ(t.Genero, m["genero"]) << cenario;
        EXPECT_EQ(t.CapaMime, m["mime"]) << cenario;
        EXPECT_EQ(Hex(t.Capa), m["capa"]) << cenario;

        // TagLib reads the v2 tag alone when both exist: only the fields the
        // v2 tag holds are compared there.
        TTagsAudio taglib;
        LerPropriedades(arquivo, taglib);
        const bool ambas = std::string(cenario) == "ambas";
        EXPECT_EQ(taglib.Titulo, t.Titulo) << cenario;
        EXPECT_EQ(taglib.Genero, t.Genero) << cenario;
        if (!ambas) {
            EXPECT_EQ(taglib.Artista, t.Artista) << cenario;
            EXPECT_EQ(taglib.Album, t.Album) << cenario;
            EXPECT_EQ(taglib.Ano, t.Ano) << cenario;
        }
    }
}

// WAV and WMA get their fields from TagLib only; an MP3 without any tag and
// a missing file give nothing.
TEST(Tags, OutrosFormatos) {
    const std::string pasta = std::filesystem::path(Mp3SemTags()).parent_path().string() + "/";
    const TTagsAudio wav = LerTags(pasta + "info.wav");
    EXPECT_EQ(wav.Titulo, "Vinheta WAV");
    EXPECT_EQ(wav.Artista, "Estúdio");
    EXPECT_EQ(wav.Album, "Jingles");
    EXPECT_EQ(wav.Genero, "Jingle");
    EXPECT_EQ(wav.Ano, "2021");
    const TTagsAudio wma = LerTags(pasta + "anuncio.wma");
    EXPECT_EQ(wma.Titulo, "Propaganda WMA");
    EXPECT_EQ(wma.Artista, "Agência");
    EXPECT_EQ(wma.Ano, "2020");
    EXPECT_EQ(LerTags(Mp3SemTags()), TTagsAudio());
    EXPECT_EQ(LerTags(pasta + "nao-existe.mp3"), TTagsAudio());
}
