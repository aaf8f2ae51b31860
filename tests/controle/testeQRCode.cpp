#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <qrencode.h>
#include <zbar.h>

#include "comum/uQRCode.h"

using namespace ljsn;
using namespace zbar;  // its C API lives there when included from C++

namespace {

// Bytes each version holds in byte mode at level M.
constexpr int kCapacidade[] = {14, 26, 42, 62, 84, 106, 122, 152, 180, 213};

int VersaoEsperada(std::size_t ABytes) {
    for (int v = 1; v <= 10; ++v) {
        if (ABytes <= static_cast<std::size_t>(kCapacidade[v - 1])) {
            return v;
        }
    }
    return 0;
}

int Versao(const TMatrizQR& AMatriz) {
    return (static_cast<int>(AMatriz.size()) - 17) / 4;
}

std::string Aleatorio(std::mt19937& AGerador, std::size_t ABytes) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(ABytes, '\0');
    for (char& ch : s) {
        ch = static_cast<char>(byte(AGerador));
    }
    return s;
}

// The remainder of a polynomial over GF(2) divided by another.
uint32_t Resto(uint32_t AValor, uint32_t ADivisor) {
    const int grau = std::bit_width(ADivisor) - 1;
    for (int i = std::bit_width(AValor) - 1; i >= grau; --i) {
        if (AValor >> i & 1) {
            AValor ^= ADivisor << (i - grau);
        }
    }
    return AValor;
}

// The 15 format bits of a symbol, LSB first, from its first or second copy.
uint32_t LerFormato(const TMatrizQR& AMatriz, bool ASegunda) {
    const int n = static_cast<int>(AMatriz.size());
    uint32_t f = 0;
    for (int i = 0; i < 15; ++i) {
        int r = 0;
        int c = 0;
        if (ASegunda) {
            r = i < 8 ? 8 : n - 15 + i;
            c = i < 8 ? n - 1 - i : 8;
        } else if (i < 6) {
            r = i;
            c = 8;
        } else if (i <= 8) {
            r = i == 6 ? 7 : 8;
            c = i == 8 ? 7 : 8;
        } else {
            r = 8;
            c = 14 - i;
        }
        f |= static_cast<uint32_t>(AMatriz[r][c]) << i;
    }
    return f;
}

// The level and mask a format word carries, as level * 8 + mask; -1 when its
// BCH code is broken.
int DecodificarFormato(uint32_t AFormato) {
    const uint32_t f = AFormato ^ 0x5412;
    if (Resto(f, 0x537) != 0) {
        return -1;
    }
    return static_cast<int>(f >> 10);
}

TMatrizQR DoLibqrencode(const std::string& ATexto, int AVersao) {
    QRinput* entrada = QRinput_new2(AVersao, QR_ECLEVEL_M);
    TMatrizQR m;
    if (QRinput_append(entrada,
                       QR_MODE_8,
                       static_cast<int>(ATexto.size()),
                       reinterpret_cast<const unsigned char*>(ATexto.data())) == 0) {
        if (QRcode* codigo = QRcode_encodeInput(entrada)) {
            m.assign(codigo->width, std::vector<bool>(codigo->width));
            for (int r = 0; r < codigo->width; ++r) {
                for (int c = 0; c < codigo->width; ++c) {
                    m[r][c] = codigo->data[r * codigo->width + c] & 1;
                }
            }
            QRcode_free(codigo);
        }
    }
    QRinput_free(entrada);
    return m;
}

// Draws a grid of modules as an 8-bit grey image, APixels a module, with
// AMargem light modules all round.
struct TImagem {
    int Largura = 0;
    int Altura = 0;
    std::vector<uint8_t> Pixels;
};

TImagem Desenhar(const TMatrizQR& AModulos, int APixels, int AMargem) {
    TImagem img;
    const int linhas = static_cast<int>(AModulos.size());
    const int colunas = linhas == 0 ? 0 : static_cast<int>(AModulos[0].size());
    img.Largura = (colunas + 2 * AMargem) * APixels;
    img.Altura = (linhas + 2 * AMargem) * APixels;
    img.Pixels.assign(static_cast<std::size_t>(img.Largura) * img.Altura, 255);
    for (int r = 0; r < linhas; ++r) {
        for (int c = 0; c < colunas; ++c) {
            if (!AModulos[r][c]) {
                continue;
            }
            for (int y = 0; y < APixels; ++y) {
                const int py = (r + AMargem) * APixels + y;
                for (int x = 0; x < APixels; ++x) {
                    img.Pixels[py * img.Largura + (c + AMargem) * APixels + x] = 0;
                }
            }
        }
    }
    return img;
}

// zbar, QR codes only, handing back the raw bytes.
class TLeitor {
  public:
    TLeitor() : FScanner(zbar_image_scanner_create()) {
        zbar_image_scanner_set_config(FScanner, ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
        zbar_image_scanner_set_config(FScanner, ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
        zbar_image_scanner_set_config(FScanner, ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    }
    ~TLeitor() { zbar_image_scanner_destroy(FScanner); }
    TLeitor(const TLeitor&) = delete;
    TLeitor& operator=(const TLeitor&) = delete;

    std::vector<std::string> Ler(const TImagem& AImagem) {
        zbar_image_t* img = zbar_image_create();
        zbar_image_set_format(img, zbar_fourcc('Y', '8', '0', '0'));
        zbar_image_set_size(img, AImagem.Largura, AImagem.Altura);
        zbar_image_set_data(img, AImagem.Pixels.data(), AImagem.Pixels.size(), nullptr);
        std::vector<std::string> lidos;
        if (zbar_scan_image(FScanner, img) > 0) {
            for (const zbar_symbol_t* s = zbar_image_first_symbol(img); s != nullptr;
                 s = zbar_symbol_next(s)) {
                if (zbar_symbol_get_type(s) == ZBAR_QRCODE) {
                    lidos.emplace_back(zbar_symbol_get_data(s), zbar_symbol_get_data_length(s));
                }
            }
        }
        zbar_image_destroy(img);
        return lidos;
    }
    // The one code of a symbol drawn at 4 pixels a module in its quiet zone.
    std::vector<std::string> Ler(const TMatrizQR& AMatriz) { return Ler(Desenhar(AMatriz, 4, 4)); }

  private:
    zbar_image_scanner_t* FScanner;
};

std::string Hex(const std::string& ABytes) {
    std::string s;
    char b[4];
    for (const unsigned char ch : ABytes) {
        std::snprintf(b, sizeof b, "%02x", ch);
        s += b;
    }
    return s;
}

}  // namespace

// Every length the encoder takes, with arbitrary bytes, read back by an
// independent reader; the size is the smallest version that holds the text.
TEST(QRCode, TodosOsTamanhosVoltamPeloLeitor) {
    TLeitor leitor;
    std::mt19937 gerador(20240611);
    std::vector<bool> bytesVistos(256);
    for (std::size_t tamanho = 0; tamanho <= 213; ++tamanho) {
        SCOPED_TRACE(tamanho);
        const std::string texto = Aleatorio(gerador, tamanho);
        for (const unsigned char ch : texto) {
            bytesVistos[ch] = true;
        }
        TMatrizQR m;
        ASSERT_TRUE(GerarQRCode(texto, m));
        ASSERT_EQ(m.size(), 4 * VersaoEsperada(tamanho) + 17u);
        for (const auto& linha : m) {
            ASSERT_EQ(linha.size(), m.size());
        }
        const auto lidos = leitor.Ler(m);
        ASSERT_EQ(lidos.size(), 1u);
        EXPECT_EQ(Hex(lidos[0]), Hex(texto));
    }
    for (int b = 0; b < 256; ++b) {
        EXPECT_TRUE(bytesVistos[b]) << b;
    }
}

TEST(QRCode, VersaoMenorQueCabeELimite) {
    const std::string cedilha = "\xc3\xa7";  // one letter, two bytes
    struct TCaso {
        std::string Texto;
        int Lado;  // 0: does not fit
    };
    const TCaso casos[] = {
        {"", 21},
        {std::string(14, 'a'), 21},
        {std::string(15, 'a'), 25},
        {std::string(62, 'a'), 33},
        {std::string(63, 'a'), 37},
        {std::string(152, 'a'), 49},
        {std::string(180, 'a'), 53},
        {std::string(181, 'a'), 57},
        {std::string(213, 'a'), 57},
        {std::string(214, 'a'), 0},
        {std::string(4000, 'a'), 0},
        // UTF-8 counts bytes: seven accented letters fill version 1.
        {cedilha + cedilha + cedilha + cedilha + cedilha + cedilha + cedilha, 21},
        {cedilha + cedilha + cedilha + cedilha + cedilha + cedilha + cedilha + "a", 25},
        {"Promo\xc3\xa7\xc3\xa3o de ver\xc3\xa3o: caf\xc3\xa9 \xc3\xa0 vontade", 29},
    };
    TLeitor leitor;
    for (const auto& caso : casos) {
        SCOPED_TRACE(caso.Texto.size());
        TMatrizQR m(3, std::vector<bool>(3, true));  // left from an earlier call
        EXPECT_EQ(GerarQRCode(caso.Texto, m), caso.Lado != 0);
        ASSERT_EQ(static_cast<int>(m.size()), caso.Lado);
        if (caso.Lado != 0) {
            const auto lidos = leitor.Ler(m);
            ASSERT_EQ(lidos.size(), 1u);
            EXPECT_EQ(lidos[0], caso.Texto);
        }
    }
    TMatrizQR m(3, std::vector<bool>(3, true));
    EXPECT_FALSE(GerarQRCode("abc", m, 8));
    EXPECT_TRUE(m.empty());
    EXPECT_FALSE(GerarQRCode("abc", m, -2));
    EXPECT_TRUE(m.empty());
}

// Versions 7 to 10 carry their number twice, BCH protected, whatever the
// text and mask; below 7 those two areas are part of the data and change
// with the text.
TEST(QRCode, InformacaoDeVersao) {
    std::mt19937 gerador(7);
    for (int v = 1; v <= 10; ++v) {
        SCOPED_TRACE(v);
        const int n = 4 * v + 17;
        std::set<uint32_t> direitas;
        std::set<uint32_t> baixos;
        for (int k = 0; k < 16; ++k) {
            TMatrizQR m;
            ASSERT_TRUE(GerarQRCode(Aleatorio(gerador, kCapacidade[v - 1]), m, k % 8));
            ASSERT_EQ(Versao(m), v);
            uint32_t direita = 0;
            uint32_t baixo = 0;
            for (int i = 0; i < 18; ++i) {
                direita |= static_cast<uint32_t>(m[i / 3][n - 11 + i % 3]) << i;
                baixo |= static_cast<uint32_t>(m[n - 11 + i % 3][i / 3]) << i;
            }
            direitas.insert(direita);
            baixos.insert(baixo);
        }
        if (v >= 7) {
            ASSERT_EQ(direitas.size(), 1u);
            EXPECT_EQ(direitas, baixos);
            const uint32_t info = *direitas.begin();
            EXPECT_EQ(info >> 12, static_cast<uint32_t>(v));
            EXPECT_EQ(Resto(info, 0x1F25), 0u);
        } else {
            EXPECT_GT(direitas.size(), 8u);
            EXPECT_GT(baixos.size(), 8u);
        }
    }
}

// libqrencode encodes the same bytes in the same version; with its mask
// forced on ours, the two symbols must match module for module: codewords,
// interleaving, placement, masking and format all checked at once.
TEST(QRCode, IgualAoLibqrencodeComAMesmaMascara) {
    std::mt19937 gerador(31);
    // (libqrencode refuses an empty text.)
    std::vector<std::string> textos = {"a",
                                       "http://192.168.100.200:18090/#pin=123456",
                                       "Promo\xc3\xa7\xc3\xa3o de ver\xc3\xa3o",
                                       std::string(213, 'z')};
    for (const int tamanho : {1,   13,  14,  15,  26,  27,  40,  42,  43,  62,  63,  84,  85,
                              106, 107, 122, 123, 140, 152, 153, 170, 180, 181, 200, 212, 213}) {
        textos.push_back(Aleatorio(gerador, tamanho));
        textos.push_back(Aleatorio(gerador, tamanho));
    }
    std::vector<bool> mascarasVistas(8);
    for (const auto& texto : textos) {
        SCOPED_TRACE(Hex(texto));
        TMatrizQR nosso;
        ASSERT_TRUE(GerarQRCode(texto, nosso));
        const TMatrizQR deles = DoLibqrencode(texto, Versao(nosso));
        ASSERT_EQ(deles.size(), nosso.size());
        const int formato = DecodificarFormato(LerFormato(deles, false));
        ASSERT_GE(formato, 0);
        ASSERT_EQ(formato >> 3, 0);  // level M
        const int mascara = formato & 7;
        mascarasVistas[mascara] = true;
        ASSERT_TRUE(GerarQRCode(texto, nosso, mascara));
        int diferentes = 0;
        for (std::size_t r = 0; r < nosso.size(); ++r) {
            for (std::size_t c = 0; c < nosso.size(); ++c) {
                diferentes += nosso[r][c] != deles[r][c];
            }
        }
        EXPECT_EQ(diferentes, 0) << "version " << Versao(nosso) << ", mask " << mascara;
    }
    int vistas = 0;
    for (const bool vista : mascarasVistas) {
        vistas += vista;
    }
    EXPECT_GE(vistas, 4) << "too few masks compared";
}

// Each forced mask is the one both format copies announce, and the symbol
// still reads.
TEST(QRCode, CadaMascaraForcada) {
    TLeitor leitor;
    std::mt19937 gerador(5);
    for (const int tamanho : {5, 40, 100, 213}) {
        const std::string texto = Aleatorio(gerador, tamanho);
        for (int mascara = 0; mascara < 8; ++mascara) {
            SCOPED_TRACE(testing::Message() << tamanho << " bytes, mask " << mascara);
            TMatrizQR m;
            ASSERT_TRUE(GerarQRCode(texto, m, mascara));
            EXPECT_EQ(DecodificarFormato(LerFormato(m, false)), mascara);
            EXPECT_EQ(DecodificarFormato(LerFormato(m, true)), mascara);
            EXPECT_TRUE(m[m.size() - 8][8]);
            const auto lidos = leitor.Ler(m);
            ASSERT_EQ(lidos.size(), 1u);
            EXPECT_EQ(lidos[0], texto);
        }
    }
}

namespace {

// The penalty rules written out plainly, to hold the encoder's word-wide
// version to.
int PenalidadeDireta(const TMatrizQR& AM) {
    const int n = static_cast<int>(AM.size());
    auto modulo = [&](bool ALinha, int AI, int AJ) { return ALinha ? AM[AI][AJ] : AM[AJ][AI]; };
    const bool padrao[11] = {
        true, false, true, true, true, false, true, false, false, false, false};
    int total = 0;
    for (const bool linha : {true, false}) {
        for (int i = 0; i < n; ++i) {
            int corrida = 1;
            for (int j = 1; j <= n; ++j) {
                if (j < n && modulo(linha, i, j) == modulo(linha, i, j - 1)) {
                    ++corrida;
                    continue;
                }
                if (corrida >= 5) {
                    total += 3 + corrida - 5;
                }
                corrida = 1;
            }
            for (int j = 0; j + 11 <= n; ++j) {
                bool ida = true;
                bool volta = true;
                for (int k = 0; k < 11; ++k) {
                    ida = ida && modulo(linha, i, j + k) == padrao[k];
                    volta = volta && modulo(linha, i, j + k) == padrao[10 - k];
                }
                total += 40 * (ida + volta);
            }
        }
    }
    int escuros = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            escuros += AM[r][c];
            if (r + 1 < n && c + 1 < n && AM[r][c] == AM[r][c + 1] && AM[r][c] == AM[r + 1][c] &&
                AM[r][c] == AM[r + 1][c + 1]) {
                total += 3;
            }
        }
    }
    const int modulos = n * n;
    return total + 10 * (std::abs(20 * escuros - 10 * modulos) / modulos);
}

TMatrizQR Xadrez(int ALado) {
    TMatrizQR m(ALado, std::vector<bool>(ALado));
    for (int r = 0; r < ALado; ++r) {
        for (int c = 0; c < ALado; ++c) {
            m[r][c] = (r + c) % 2 == 0;
        }
    }
    return m;
}

TMatrizQR ComPrimeiraLinha(TMatrizQR AM, const std::vector<bool>& ALinha, bool ATranspor) {
    for (std::size_t k = 0; k < ALinha.size(); ++k) {
        (ATranspor ? AM[k][0] : AM[0][k]) = ALinha[k];
    }
    return AM;
}

}  // namespace

TEST(QRCode, PenalidadeDeMatrizesConhecidas) {
    const std::vector<bool> finder = {1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0};
    const std::vector<bool> reverso(finder.rbegin(), finder.rend());
    struct TCaso {
        const char* Nome;
        TMatrizQR Matriz;
        int Esperada;
    };
    const TCaso casos[] = {
        // 21 runs of 21 each way, 400 blocks 2x2, all one colour.
        {"light", TMatrizQR(21, std::vector<bool>(21, false)), 2 * 21 * 19 + 3 * 400 + 100},
        {"dark", TMatrizQR(21, std::vector<bool>(21, true)), 2 * 21 * 19 + 3 * 400 + 100},
        {"chequered", Xadrez(21), 0},
        {"finder in a row", ComPrimeiraLinha(Xadrez(11), finder, false), 40},
        {"reversed finder in a row", ComPrimeiraLinha(Xadrez(11), reverso, false), 40},
        {"finder in a column", ComPrimeiraLinha(Xadrez(11), finder, true), 40},
        {"run of 5", ComPrimeiraLinha(Xadrez(11), {1, 1, 1, 1, 1, 0, 1, 0, 1, 0, 1}, false), 3},
        {"run of 6", ComPrimeiraLinha(Xadrez(11), {1, 1, 1, 1, 1, 1, 0, 1, 0, 1, 0}, false), 4},
        {"finder cut by the edge",
         ComPrimeiraLinha(Xadrez(10), {0, 1, 1, 1, 0, 1, 0, 0, 0, 0}, false),
         0},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(PenalidadeQR(caso.Matriz), caso.Esperada) << caso.Nome;
        EXPECT_EQ(PenalidadeDireta(caso.Matriz), caso.Esperada) << caso.Nome;
    }
    EXPECT_EQ(PenalidadeQR({}), -1);
    EXPECT_EQ(PenalidadeQR(TMatrizQR(3, std::vector<bool>(4))), -1);
    EXPECT_EQ(PenalidadeQR(TMatrizQR(65, std::vector<bool>(65))), -1);

    // Random symbols of every size, dense and sparse, against the plain rules.
    std::mt19937 gerador(11);
    for (int lado = 1; lado <= 64; ++lado) {
        for (const double densidade : {0.5, 0.15, 0.85}) {
            std::bernoulli_distribution escuro(densidade);
            TMatrizQR m(lado, std::vector<bool>(lado));
            for (auto& linha : m) {
                for (std::size_t c = 0; c < linha.size(); ++c) {
                    linha[c] = escuro(gerador);
                }
            }
            ASSERT_EQ(PenalidadeQR(m), PenalidadeDireta(m)) << lado << " " << densidade;
        }
    }
}

// The automatic choice is the forced variant with the lowest penalty, the
// lower mask number on a tie.
TEST(QRCode, MascaraAutomaticaEhAMenorPenalidade) {
    std::mt19937 gerador(3);
    int empates = 0;
    int iguaisAoLibqrencode = 0;
    int comparados = 0;
    for (int k = 0; k < 150; ++k) {
        const std::string texto = k % 3 == 0 ? "http://10.0.0." + std::to_string(k) +
                                                   ":8090/#pin=" + std::to_string(k * 7919)
                                             : Aleatorio(gerador, 1 + k % 120);
        SCOPED_TRACE(Hex(texto));
        TMatrizQR automatico;
        ASSERT_TRUE(GerarQRCode(texto, automatico));
        int menor = -1;
        int escolhida = -1;
        int naMenor = 0;
        TMatrizQR esperado;
        for (int mascara = 0; mascara < 8; ++mascara) {
            TMatrizQR m;
            ASSERT_TRUE(GerarQRCode(texto, m, mascara));
            const int p = PenalidadeQR(m);
            if (menor < 0 || p < menor) {
                menor = p;
                escolhida = mascara;
                esperado = m;
                naMenor = 1;
            } else if (p == menor) {
                ++naMenor;
            }
        }
        empates += naMenor > 1;
        EXPECT_EQ(automatico, esperado) << "expected mask " << escolhida;
        EXPECT_EQ(PenalidadeQR(automatico), menor);

        const TMatrizQR deles = DoLibqrencode(texto, Versao(automatico));
        ++comparados;
        iguaisAoLibqrencode += DecodificarFormato(LerFormato(deles, false)) == escolhida;
    }
    EXPECT_GT(empates, 0) << "no tie came up to check the tie rule";
    std::printf("mask choice equal to libqrencode's in %d of %d symbols\n",
                iguaisAoLibqrencode,
                comparados);
}

namespace {

// The terminal drawing read back as modules: each cell one module wide, two
// tall. Fails the test on anything but the four cells.
TMatrizQR LerTerminal(const std::string& ADesenho) {
    TMatrizQR m;
    std::size_t inicio = 0;
    while (inicio < ADesenho.size()) {
        const std::size_t fim = ADesenho.find('\n', inicio);
        if (fim == std::string::npos) {
            ADD_FAILURE() << "last line without a newline";
            break;
        }
        std::vector<bool> cima;
        std::vector<bool> baixo;
        for (std::size_t k = inicio; k < fim;) {
            if (ADesenho[k] == ' ') {
                cima.push_back(false);
                baixo.push_back(false);
                ++k;
                continue;
            }
            const std::string cela = ADesenho.substr(k, 3);
            if (cela == "\u2580" || cela == "\u2584" || cela == "\u2588") {
                cima.push_back(cela != "\u2584");
                baixo.push_back(cela != "\u2580");
                k += 3;
                continue;
            }
            ADD_FAILURE() << "unexpected byte at " << k;
            return {};
        }
        m.push_back(cima);
        m.push_back(baixo);
        inicio = fim + 1;
    }
    return m;
}

}  // namespace

TEST(QRCode, DesenhoNoTerminal) {
    TLeitor leitor;
    std::mt19937 gerador(9);
    const std::string inicioCores = "\x1b[30;47m";
    const std::string fimCores = "\x1b[0m";
    for (const std::string& texto : {std::string("http://192.168.100.200:18090/#pin=123456"),
                                     Aleatorio(gerador, 1),
                                     Aleatorio(gerador, 200)}) {
        SCOPED_TRACE(texto.size());
        TMatrizQR m;
        ASSERT_TRUE(GerarQRCode(texto, m));
        const int n = static_cast<int>(m.size());
        const std::string desenho = QRParaTerminal(m, false);
        const TMatrizQR lido = LerTerminal(desenho);
        // 4 modules of quiet zone all round, one more light row to fill the last line.
        ASSERT_EQ(static_cast<int>(lido.size()), n + 9);
        for (int r = 0; r < n + 9; ++r) {
            ASSERT_EQ(static_cast<int>(lido[r].size()), n + 8) << r;
            for (int c = 0; c < n + 8; ++c) {
                const bool dentro = r >= 4 && r < n + 4 && c >= 4 && c < n + 4;
                EXPECT_EQ(lido[r][c], dentro && m[r - 4][c - 4]) << r << "," << c;
            }
        }
        const auto lidos = leitor.Ler(Desenhar(lido, 4, 0));
        ASSERT_EQ(lidos.size(), 1u);
        EXPECT_EQ(lidos[0], texto);

        // In colour: the same lines, each wrapped in black on white.
        const std::string colorido = QRParaTerminal(m, true);
        std::string semCores;
        std::size_t inicio = 0;
        int linhas = 0;
        while (inicio < colorido.size()) {
            const std::size_t fim = colorido.find('\n', inicio);
            ASSERT_NE(fim, std::string::npos);
            const std::string linha = colorido.substr(inicio, fim - inicio);
            ASSERT_TRUE(linha.starts_with(inicioCores)) << linhas;
            ASSERT_TRUE(linha.ends_with(fimCores)) << linhas;
            semCores += linha.substr(inicioCores.size(),
                                     linha.size() - inicioCores.size() - fimCores.size()) +
                        "\n";
            inicio = fim + 1;
            ++linhas;
        }
        EXPECT_EQ(linhas, (n + 9) / 2);
        EXPECT_EQ(semCores, desenho);
    }
    EXPECT_EQ(QRParaTerminal({}, false), "");
    EXPECT_EQ(QRParaTerminal({}, true), "");
}
