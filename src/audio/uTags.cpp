// Tags and cover art: our own ID3v2 and ID3v1 reader, and TagLib for the
// files it does not cover.
#include "audio/uTags.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include <dlfcn.h>

#include "ambiente/uLog.h"
#include "audio/uTagsModulo.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

constexpr std::array<const char*, 80> kGeneros = {"Blues",
                                                  "Classic Rock",
                                                  "Country",
                                                  "Dance",
                                                  "Disco",
                                                  "Funk",
                                                  "Grunge",
                                                  "Hip-Hop",
                                                  "Jazz",
                                                  "Metal",
                                                  "New Age",
                                                  "Oldies",
                                                  "Other",
                                                  "Pop",
                                                  "R&B",
                                                  "Rap",
                                                  "Reggae",
                                                  "Rock",
                                                  "Techno",
                                                  "Industrial",
                                                  "Alternative",
                                                  "Ska",
                                                  "Death Metal",
                                                  "Pranks",
                                                  "Soundtrack",
                                                  "Euro-Techno",
                                                  "Ambient",
                                                  "Trip-Hop",
                                                  "Vocal",
                                                  "Jazz+Funk",
                                                  "Fusion",
                                                  "Trance",
                                                  "Classical",
                                                  "Instrumental",
                                                  "Acid",
                                                  "House",
                                                  "Game",
                                                  "Sound Clip",
                                                  "Gospel",
                                                  "Noise",
                                                  "AlternRock",
                                                  "Bass",
                                                  "Soul",
                                                  "Punk",
                                                  "Space",
                                                  "Meditative",
                                                  "Instrumental Pop",
                                                  "Instrumental Rock",
                                                  "Ethnic",
                                                  "Gothic",
                                                  "Darkwave",
                                                  "Techno-Industrial",
                                                  "Electronic",
                                                  "Pop-Folk",
                                                  "Eurodance",
                                                  "Dream",
                                                  "Southern Rock",
                                                  "Comedy",
                                                  "Cult",
                                                  "Gangsta",
                                                  "Top 40",
                                                  "Christian Rap",
                                                  "Pop/Funk",
                                                  "Jungle",
                                                  "Native American",
                                                  "Cabaret",
                                                  "New Wave",
                                                  "Psychadelic",
                                                  "Rave",
                                                  "Showtunes",
                                                  "Trailer",
                                                  "Lo-Fi",
                                                  "Tribal",
                                                  "Acid Punk",
                                                  "Acid Jazz",
                                                  "Polka",
                                                  "Retro",
                                                  "Musical",
                                                  "Rock & Roll",
                                                  "Hard Rock"};

using TBytes = std::span<const std::uint8_t>;

std::uint32_t Sincronizado(TBytes AB) {
    // Seven bits per byte; a stray high bit is ignored rather than trusted.
    return (std::uint32_t{AB[0] & 0x7Fu} << 21) | (std::uint32_t{AB[1] & 0x7Fu} << 14) |
           (std::uint32_t{AB[2] & 0x7Fu} << 7) | std::uint32_t{AB[3] & 0x7Fu};
}

std::uint32_t Grande32(TBytes AB) {
    return (std::uint32_t{AB[0]} << 24) | (std::uint32_t{AB[1]} << 16) |
           (std::uint32_t{AB[2]} << 8) | std::uint32_t{AB[3]};
}

// Every 0x00 that follows a 0xFF removed.
std::vector<std::uint8_t> DesfazerSincronizacao(TBytes AB) {
    std::vector<std::uint8_t> r;
    r.reserve(AB.size());
    for (std::size_t i = 0; i < AB.size(); ++i) {
        r.push_back(AB[i]);
        if (AB[i] == 0xFF && i + 1 < AB.size() && AB[i + 1] == 0x00) {
            ++i;
        }
    }
    return r;
}

void Preencher(std::string& ACampo, const std::string& AValor) {
    if (ACampo.empty()) {
        ACampo = AValor;
    }
}

std::string Latin1(TBytes AB) {
    std::string r;
    r.reserve(AB.size());
    for (const std::uint8_t b : AB) {
        AcrescentarCodigo(r, b);
    }
    return r;
}

// Up to the first character 0, trimmed.
std::string CortarEAparar(const std::string& ATexto) {
    return Aparar(std::string_view(ATexto).substr(0, ATexto.find('\0')));
}

struct TFigura {
    std::vector<std::uint8_t> Dados;
    std::string Mime;
    int Tipo = -1;
};

// The picture of an APIC (or v2.2 PIC) frame, or nothing.
std::optional<TFigura> LerFigura(TBytes ADados, bool APic) {
    const int codificacao = ADados[0];
    std::size_t p = 1;
    TFigura f;
    if (APic) {
        if (ADados.size() < 6) {
            return std::nullopt;
        }
        const std::string formato = MinusculasAZ(Latin1(ADados.subspan(1, 3)));
        f.Mime = formato == "jpg" ? "image/jpeg" : formato == "png" ? "image/png" : formato;
        p = 4;
    } else {
        while (p < ADados.size() && ADados[p] != 0) {
            ++p;
        }
        f.Mime = MinusculasAZ(Latin1(ADados.subspan(1, p - 1)));
        ++p;  // the 0
    }
    if (p >= ADados.size()) {
        return std::nullopt;
    }
    f.Tipo = ADados[p];
    const std::size_t descricao = p + 1;
    std::size_t fim = std::string::npos;
    if (codificacao == 1 || codificacao == 2) {
        for (std::size_t i = descricao; i + 1 < ADados.size(); i += 2) {
            if (ADados[i] == 0 && ADados[i + 1] == 0) {
                fim = i + 2;
                break;
            }
        }
    } else {
        for (std::size_t i = descricao; i < ADados.size(); ++i) {
            if (ADados[i] == 0) {
                fim = i + 1;
                break;
            }
        }
    }
    if (fim == std::string::npos || fim >= ADados.size()) {
        return std::nullopt;
    }
    f.Dados.assign(ADados.begin() + static_cast<std::ptrdiff_t>(fim), ADados.end());
    return f;
}

}  // namespace

std::string NomeGeneroId3v1(int ANumero) {
    if (ANumero < 0 || ANumero >= static_cast<int>(kGeneros.size())) {
        return {};
    }
    return kGeneros[static_cast<std::size_t>(ANumero)];
}

std::string NomeGenero(std::string_view ATexto) {
    if (ComecaCom(ATexto, "(")) {
        const std::size_t fecha = ATexto.find(')');
        if (fecha != std::string_view::npos) {
            if (const auto n = LerInteiro(ATexto.substr(1, fecha - 1))) {
                const std::string resto = Aparar(ATexto.substr(fecha + 1));
                return resto.empty() ? NomeGeneroId3v1(*n) : resto;
            }
        }
    }
    if (const auto n = LerInteiro(ATexto)) {
        return NomeGeneroId3v1(*n);
    }
    return std::string(ATexto);
}

std::string DecodificarTextoId3(TBytes ADados, int ACodificacao) {
    if (ACodificacao == 3) {
        // Invalid sequences become U+FFFD, never raw bytes.
        std::string r;
        const std::string_view t(reinterpret_cast<const char*>(ADados.data()), ADados.size());
        std::size_t i = 0;
        while (i < t.size()) {
            AcrescentarCodigo(r, LerCodigo(t, i));
        }
        return r;
    }
    if (ACodificacao != 1 && ACodificacao != 2) {
        return Latin1(ADados);
    }
    bool grande = ACodificacao == 2;
    std::size_t p = 0;
    if (ADados.size() >= 2 && ADados[0] == 0xFF && ADados[1] == 0xFE) {
        grande = false;
        p = 2;
    } else if (ADados.size() >= 2 && ADados[0] == 0xFE && ADados[1] == 0xFF) {
        grande = true;
        p = 2;
    }
    const auto unidade = [&](std::size_t AI) -> char32_t {
        return grande ? static_cast<char32_t>((ADados[AI] << 8) | ADados[AI + 1])
                      : static_cast<char32_t>((ADados[AI + 1] << 8) | ADados[AI]);
    };
    std::string r;
    for (; p + 1 < ADados.size(); p += 2) {
        char32_t c = unidade(p);
        if (c >= 0xD800 && c < 0xDC00 && p + 3 < ADados.size()) {
            const char32_t baixo = unidade(p + 2);
            if (baixo >= 0xDC00 && baixo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (baixo - 0xDC00);
                p += 2;
            }
        }
        if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        AcrescentarCodigo(r, c);
    }
    return r;
}

void LerId3v2(TBytes ATag, TTagsAudio& ATags) {
    if (ATag.size() < 10 || ATag[0] != 'I' || ATag[1] != 'D' || ATag[2] != '3') {
        return;
    }
    const int versao = ATag[3];
    const int flags = ATag[5];
    if (versao < 2 || versao > 4 || (versao == 2 && (flags & 0x40) != 0)) {
        return;
    }
    const std::size_t tamanho = Sincronizado(ATag.subspan(6, 4));
    TBytes corpo = ATag.subspan(10, std::min(tamanho, ATag.size() - 10));
    std::vector<std::uint8_t> dessincronizado;
    if ((flags & 0x80) != 0 && versao < 4) {
        dessincronizado = DesfazerSincronizacao(corpo);
        corpo = dessincronizado;
    }
    std::uint64_t pos = 0;  // 64 bits: an extended header may claim 4 GiB
    if (versao >= 3 && (flags & 0x40) != 0 && corpo.size() >= 4) {
        pos = versao == 3 ? std::uint64_t{Grande32(corpo.first(4))} + 4
                          : std::uint64_t{Sincronizado(corpo.first(4))};
    }
    const std::size_t cabecalho = versao == 2 ? 6 : 10;
    bool capaDaFrente = false;
    bool temCapa = false;
    while (pos + cabecalho <= corpo.size()) {
        const TBytes h = corpo.subspan(static_cast<std::size_t>(pos), cabecalho);
        if (h[0] == 0) {
            break;  // padding
        }
        const std::string id(reinterpret_cast<const char*>(h.data()), versao == 2 ? 3 : 4);
        std::uint64_t t = 0;
        int formato = 0;
        if (versao == 2) {
            t = (std::uint64_t{h[3]} << 16) | (std::uint64_t{h[4]} << 8) | h[5];
        } else {
            const std::uint32_t bruto =
                versao == 3 ? Grande32(h.subspan(4, 4)) : Sincronizado(h.subspan(4, 4));
            if (static_cast<std::int32_t>(bruto) <= 0) {
                break;
            }
            t = bruto;
            formato = h[9];
        }
        if (t == 0 || pos + cabecalho + t > corpo.size()) {
            break;
        }
        TBytes dados =
            corpo.subspan(static_cast<std::size_t>(pos) + cabecalho, static_cast<std::size_t>(t));
        pos += cabecalho + t;

        std::vector<std::uint8_t> quadroDessincronizado;
        if (versao == 3) {
            if ((formato & 0xC0) != 0) {
                continue;  // compressed or encrypted
            }
            if ((formato & 0x20) != 0) {
                dados = dados.subspan(std::min<std::size_t>(1, dados.size()));
            }
        } else if (versao == 4) {
            if ((formato & 0x0C) != 0) {
                continue;
            }
            if ((formato & 0x40) != 0) {
                dados = dados.subspan(std::min<std::size_t>(1, dados.size()));
            }
            if ((formato & 0x01) != 0) {
                dados = dados.subspan(std::min<std::size_t>(4, dados.size()));
            }
            if ((formato & 0x02) != 0 || (flags & 0x80) != 0) {
                quadroDessincronizado = DesfazerSincronizacao(dados);
                dados = quadroDessincronizado;
            }
        }
        if (dados.size() < 2) {
            continue;
        }
        const int codificacao = dados[0];
        if (id[0] == 'T') {
            const std::string texto =
                CortarEAparar(DecodificarTextoId3(dados.subspan(1), codificacao));
            if (id == "TIT2" || id == "TT2") {
                Preencher(ATags.Titulo, texto);
            } else if (id == "TPE1" || id == "TP1") {
                Preencher(ATags.Artista, texto);
            } else if (id == "TALB" || id == "TAL") {
                Preencher(ATags.Album, texto);
            } else if (id == "TYER" || id == "TYE" || id == "TDRC") {
                Preencher(ATags.Ano, PrimeirosCaracteres(texto, 4));
            } else if (id == "TCON" || id == "TCO") {
                Preencher(ATags.Genero, NomeGenero(texto));
            }
        } else if ((id == "APIC" || id == "PIC") && !capaDaFrente) {
            auto figura = LerFigura(dados, id == "PIC");
            if (figura && (!temCapa || figura->Tipo == 3)) {
                ATags.Capa = std::move(figura->Dados);
                ATags.CapaMime = std::move(figura->Mime);
                temCapa = true;
                capaDaFrente = figura->Tipo == 3;
            }
        }
    }
}

void LerId3v1(TBytes AFim, TTagsAudio& ATags) {
    if (AFim.size() != 128 || AFim[0] != 'T' || AFim[1] != 'A' || AFim[2] != 'G') {
        return;
    }
    const auto campo = [&](std::size_t AInicio, std::size_t ATamanho) {
        return CortarEAparar(Latin1(AFim.subspan(AInicio, ATamanho)));
    };
    Preencher(ATags.Titulo, campo(3, 30));
    Preencher(ATags.Artista, campo(33, 30));
    Preencher(ATags.Album, campo(63, 30));
    Preencher(ATags.Ano, campo(93, 4));
    if (AFim[127] <= 79) {
        Preencher(ATags.Genero, NomeGeneroId3v1(AFim[127]));
    }
}

namespace {

// TagLib lives in a module opened at the first file that needs it: beside an
// installed program in ../lib/lojasonorante, or in the build tree.
TLerPropriedadesModulo AbrirModuloTags() {
    std::vector<std::filesystem::path> candidatos;
    std::error_code erro;
    const auto executavel = std::filesystem::read_symlink("/proc/self/exe", erro);
    if (!erro) {
        candidatos.push_back(executavel.parent_path() / ".." / "lib" / "lojasonorante" /
                             kArquivoModuloTags);
    }
    candidatos.push_back(std::filesystem::path(LJSN_DIR_MODULOS) / kArquivoModuloTags);
    for (const auto& c : candidatos) {
        if (void* modulo = ::dlopen(c.c_str(), RTLD_NOW | RTLD_LOCAL); modulo != nullptr) {
            if (auto* f = reinterpret_cast<TLerPropriedadesModulo>(
                    ::dlsym(modulo, kFuncaoLerPropriedades));
                f != nullptr) {
                return f;  // stays open for the rest of the run
            }
            ::dlclose(modulo);
        }
    }
    GravarLog("ERRO",
              std::string("modulo de tags nao encontrado: ") + kArquivoModuloTags +
                  " (so as tags ID3 serao lidas)");
    return nullptr;
}

using TCamposModulo = std::array<std::string, kCampoGenero + 1>;

void AoLerCampo(void* AUsuario, int ACampo, const char* ATexto) {
    auto& campos = *static_cast<TCamposModulo*>(AUsuario);
    if (ACampo >= 0 && ACampo <= kCampoGenero && ATexto != nullptr) {
        campos[static_cast<std::size_t>(ACampo)] = ATexto;
    }
}

}  // namespace

void LerPropriedades(const std::string& ACaminho, TTagsAudio& ATags) {
    static const TLerPropriedadesModulo ler = AbrirModuloTags();
    if (ler == nullptr) {
        return;
    }
    TCamposModulo campos;
    ler(ACaminho.c_str(), &campos, &AoLerCampo);
    const auto texto = [&](int ACampo) { return Aparar(campos[static_cast<std::size_t>(ACampo)]); };
    Preencher(ATags.Titulo, texto(kCampoTitulo));
    Preencher(ATags.Artista, texto(kCampoArtista));
    Preencher(ATags.Album, texto(kCampoAlbum));
    const std::string ano = texto(kCampoAno);
    Preencher(ATags.Ano, !ano.empty() ? ano : PrimeirosCaracteres(texto(kCampoData), 4));
    Preencher(ATags.Genero, texto(kCampoGenero));
}

TTagsAudio LerTags(const std::string& ACaminho) {
    TTagsAudio tags;
    try {
        const std::string ext =
            MinusculasAZ(ACaminho.substr(std::min(ACaminho.size(), ACaminho.find_last_of('.'))));
        if (ext == ".mp3") {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(ACaminho.c_str(), "rb"),
                                                              &std::fclose);
            if (f) {
                std::vector<std::uint8_t> cabecalho(10);
                if (std::fread(cabecalho.data(), 1, 10, f.get()) == 10) {
                    if (cabecalho[0] == 'I' && cabecalho[1] == 'D' && cabecalho[2] == '3') {
                        const std::size_t tamanho = Sincronizado(TBytes(cabecalho).subspan(6, 4));
                        if (tamanho > 0 && tamanho <= kMaxTagId3) {
                            cabecalho.resize(10 + tamanho);
                            const std::size_t lidos =
                                std::fread(cabecalho.data() + 10, 1, tamanho, f.get());
                            cabecalho.resize(10 + lidos);
                            LerId3v2(cabecalho, tags);
                        }
                    }
                    if (std::fseek(f.get(), -128, SEEK_END) == 0) {
                        std::vector<std::uint8_t> fim(128);
                        if (std::fread(fim.data(), 1, 128, f.get()) == 128) {
                            LerId3v1(fim, tags);
                        }
                    }
                }
            }
        }
        if (tags.Titulo.empty() && tags.Artista.empty()) {
            LerPropriedades(ACaminho, tags);
        }
    } catch (...) {
        return {};
    }
    return tags;
}

std::string LinhaInfo(const TTagsAudio& ATags, std::string_view ANomeExibido) {
    std::vector<std::string> partes;
    if (!ATags.Titulo.empty() &&
        MinusculasAZ(ANomeExibido).find(MinusculasAZ(ATags.Titulo)) == std::string::npos) {
        partes.push_back(ATags.Titulo);
    }
    for (const std::string* campo : {&ATags.Artista, &ATags.Album, &ATags.Ano, &ATags.Genero}) {
        if (!campo->empty()) {
            partes.push_back(*campo);
        }
    }
    return Juntar(partes, "  ·  ");
}

}  // namespace ljsn
