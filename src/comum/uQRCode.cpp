#include "comum/uQRCode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ljsn {

namespace {

constexpr int kVersaoMax = 10;
constexpr int kLadoMax = 4 * kVersaoMax + 17;
constexpr int kMaxEc = 30;
constexpr int kMaxBlocos = 8;
constexpr int kMaxPalavras = 346;  // all codewords of version 10
constexpr int kPasso = 32;         // kMaxEc rounded up to whole words

// Level M per version: EC codewords per block, then blocks and data codewords
// of the two groups.
struct TBlocos {
    int Ec;
    int Blocos1;
    int Dados1;
    int Blocos2;
    int Dados2;
    constexpr int Blocos() const { return Blocos1 + Blocos2; }
    constexpr int Dados() const { return Blocos1 * Dados1 + Blocos2 * Dados2; }
};
constexpr TBlocos kNivelM[kVersaoMax + 1] = {{0, 0, 0, 0, 0},
                                             {10, 1, 16, 0, 0},
                                             {16, 1, 28, 0, 0},
                                             {26, 1, 44, 0, 0},
                                             {18, 2, 32, 0, 0},
                                             {24, 2, 43, 0, 0},
                                             {16, 4, 27, 0, 0},
                                             {18, 4, 31, 0, 0},
                                             {22, 2, 38, 2, 39},
                                             {22, 3, 36, 2, 37},
                                             {26, 4, 43, 1, 44}};

// Alignment pattern centres of each version; 0 ends a list.
constexpr int kCentros[kVersaoMax + 1][3] = {{},
                                             {},
                                             {6, 18},
                                             {6, 22},
                                             {6, 26},
                                             {6, 30},
                                             {6, 34},
                                             {6, 22, 38},
                                             {6, 24, 42},
                                             {6, 26, 46},
                                             {6, 28, 50}};

// One version's fixed part: a row word has column c at bit c, a column word
// row r at bit r.
struct TModelo {
    int Lado = 0;
    std::array<uint64_t, kLadoMax> Linhas{};  // function patterns; data light
    std::array<uint64_t, kLadoMax> Colunas{};
    std::array<uint64_t, kLadoMax> LinhasLivres{};  // the modules a mask may invert
    std::array<uint64_t, kLadoMax> ColunasLivres{};
    std::vector<uint16_t> Ordem;  // data modules in placement order, row * 64 + column
    // The column pairs in placement order: right column, and where the pair
    // ends in Ordem.
    struct TPar {
        int Direita;
        int Fim;
    };
    std::vector<TPar> Pares;
};

struct TTabelas {
    std::array<uint8_t, 512> Exp{};  // twice over, so a sum of two logs needs no modulo
    std::array<uint8_t, 256> Log{};
    // For each EC length in use, the generator's coefficients after the
    // leading one times every byte: [f * kPasso + i], zero-padded, so a step
    // of the division is four word XORs.
    std::array<std::vector<uint8_t>, kMaxEc + 1> Produtos;
    std::array<uint16_t, 8> Formato{};
    // What each mask inverts, by row (column) number modulo 12: every mask
    // condition repeats with that period.
    uint64_t MascaraLinha[8][12] = {};
    uint64_t MascaraColuna[8][12] = {};
    std::array<TModelo, kVersaoMax + 1> Modelos;
};

bool CondicaoMascara(int AMascara, int i, int j) {
    switch (AMascara) {
        case 0:
            return (i + j) % 2 == 0;
        case 1:
            return i % 2 == 0;
        case 2:
            return j % 3 == 0;
        case 3:
            return (i + j) % 3 == 0;
        case 4:
            return (i / 2 + j / 3) % 2 == 0;
        case 5:
            return (i * j) % 2 + (i * j) % 3 == 0;
        case 6:
            return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
        default:
            return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
    }
}

// The remainder of AValor * x^AGrau divided by AGerador (degree AGrau), over GF(2).
uint32_t RestoBch(uint32_t AValor, uint32_t AGerador, int AGrau) {
    uint32_t r = AValor << AGrau;
    for (int i = std::bit_width(r) - 1; i >= AGrau; --i) {
        if (r >> i & 1) {
            r ^= AGerador << (i - AGrau);
        }
    }
    return r;
}

uint32_t InfoVersao(int AVersao) {
    return static_cast<uint32_t>(AVersao) << 12 | RestoBch(AVersao, 0x1F25, 12);
}

TModelo ConstruirModelo(int AVersao) {
    const int n = 4 * AVersao + 17;
    std::vector<uint8_t> escuro(n * n, 0);
    std::vector<uint8_t> funcao(n * n, 0);
    auto marcar = [&](int r, int c, bool AEscuro) {
        escuro[r * n + c] = AEscuro;
        funcao[r * n + c] = 1;
    };
    // The format areas first: the timing patterns cross them at (8,6) and (6,8).
    for (int i = 0; i <= 8; ++i) {
        marcar(8, i, false);
        marcar(i, 8, false);
    }
    for (int i = 0; i < 8; ++i) {
        marcar(8, n - 1 - i, false);
        marcar(n - 1 - i, 8, false);
    }
    const std::pair<int, int> finders[] = {{0, 0}, {0, n - 7}, {n - 7, 0}};
    for (const auto& [r0, c0] : finders) {
        for (int dr = -1; dr <= 7; ++dr) {
            for (int dc = -1; dc <= 7; ++dc) {
                const int r = r0 + dr;
                const int c = c0 + dc;
                if (r < 0 || r >= n || c < 0 || c >= n) {
                    continue;
                }
                const int d = std::max(std::abs(dr - 3), std::abs(dc - 3));
                marcar(r, c, d <= 3 && d != 2);
            }
        }
    }
    for (int k = 8; k <= n - 9; ++k) {
        marcar(6, k, k % 2 == 0);
        marcar(k, 6, k % 2 == 0);
    }
    const int* centros = kCentros[AVersao];
    const int ultimo = n - 7;
    for (int a = 0; a < 3 && centros[a] != 0; ++a) {
        for (int b = 0; b < 3 && centros[b] != 0; ++b) {
            const int r0 = centros[a];
            const int c0 = centros[b];
            if ((r0 == 6 && c0 == 6) || (r0 == 6 && c0 == ultimo) || (r0 == ultimo && c0 == 6)) {
                continue;
            }
            for (int dr = -2; dr <= 2; ++dr) {
                for (int dc = -2; dc <= 2; ++dc) {
                    marcar(r0 + dr, c0 + dc, std::max(std::abs(dr), std::abs(dc)) != 1);
                }
            }
        }
    }
    if (AVersao >= 7) {
        const uint32_t info = InfoVersao(AVersao);
        for (int i = 0; i < 18; ++i) {
            const bool bit = info >> i & 1;
            marcar(i / 3, n - 11 + i % 3, bit);
            marcar(n - 11 + i % 3, i / 3, bit);
        }
    }
    marcar(n - 8, 8, true);

    TModelo m;
    m.Lado = n;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const uint64_t bitC = uint64_t{1} << c;
            const uint64_t bitR = uint64_t{1} << r;
            if (escuro[r * n + c]) {
                m.Linhas[r] |= bitC;
                m.Colunas[c] |= bitR;
            }
            if (!funcao[r * n + c]) {
                m.LinhasLivres[r] |= bitC;
                m.ColunasLivres[c] |= bitR;
            }
        }
    }
    // Column pairs from the right, the first one upwards, then alternating;
    // column 6 is the timing pattern and is skipped whole.
    bool subindo = true;
    for (int direita = n - 1; direita >= 1; direita -= 2) {
        if (direita == 6) {
            direita = 5;
        }
        for (int k = 0; k < n; ++k) {
            const int r = subindo ? n - 1 - k : k;
            for (int c = direita; c >= direita - 1; --c) {
                if (!funcao[r * n + c]) {
                    m.Ordem.push_back(static_cast<uint16_t>(r * 64 + c));
                }
            }
        }
        m.Pares.push_back({direita, static_cast<int>(m.Ordem.size())});
        subindo = !subindo;
    }
    return m;
}

TTabelas ConstruirTabelas() {
    TTabelas t;
    unsigned x = 1;
    for (int i = 0; i < 255; ++i) {
        t.Exp[i] = static_cast<uint8_t>(x);
        t.Exp[i + 255] = static_cast<uint8_t>(x);
        t.Log[x] = static_cast<uint8_t>(i);
        x <<= 1;
        if (x & 0x100) {
            x ^= 0x11D;
        }
    }
    t.Exp[510] = t.Exp[0];
    t.Exp[511] = t.Exp[1];
    auto multiplicar = [&t](unsigned a, unsigned b) -> uint8_t {
        return a == 0 || b == 0 ? 0 : t.Exp[t.Log[a] + t.Log[b]];
    };

    for (int v = 1; v <= kVersaoMax; ++v) {
        const int e = kNivelM[v].Ec;
        if (!t.Produtos[e].empty()) {
            continue;
        }
        // (x - a^0)(x - a^1)...(x - a^(E-1)), coefficients from the leading one down.
        std::array<uint8_t, kMaxEc + 1> g{};
        g[0] = 1;
        for (int i = 0; i < e; ++i) {
            for (int k = i + 1; k >= 1; --k) {
                g[k] ^= multiplicar(g[k - 1], t.Exp[i]);
            }
        }
        t.Produtos[e].resize(256 * kPasso);
        for (int f = 0; f < 256; ++f) {
            for (int i = 0; i < e; ++i) {
                t.Produtos[e][f * kPasso + i] = multiplicar(g[i + 1], f);
            }
        }
    }

    for (int m = 0; m < 8; ++m) {
        // Level M is 00 in the two high bits of the five.
        const uint32_t dados = static_cast<uint32_t>(m);
        t.Formato[m] = static_cast<uint16_t>((dados << 10 | RestoBch(dados, 0x537, 10)) ^ 0x5412);
        for (int k = 0; k < 12; ++k) {
            for (int b = 0; b < 64; ++b) {
                if (CondicaoMascara(m, k, b)) {
                    t.MascaraLinha[m][k] |= uint64_t{1} << b;
                }
                if (CondicaoMascara(m, b, k)) {
                    t.MascaraColuna[m][k] |= uint64_t{1} << b;
                }
            }
        }
    }
    for (int v = 1; v <= kVersaoMax; ++v) {
        t.Modelos[v] = ConstruirModelo(v);
    }
    return t;
}

const TTabelas& Tabelas() {
    static const TTabelas tabelas = ConstruirTabelas();
    return tabelas;
}

// Bits set in a word. The build targets plain x86-64, where std::popcount
// becomes a library call; this stays inline and is quicker.
inline int Contar(uint64_t x) {
    x = x - (x >> 1 & 0x5555555555555555);
    x = (x & 0x3333333333333333) + (x >> 2 & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<int>((x * 0x0101010101010101) >> 56);
}

uint64_t Cheio(int ALado) {
    return ALado >= 64 ? ~uint64_t{0} : (uint64_t{1} << ALado) - 1;
}

// Runs of five or more and finder-like windows along each word; with A2x2,
// also the 2x2 blocks between neighbouring words (counted in one direction only).
int PenalidadeLinhas(const uint64_t* ALinhas, int ALado, bool A2x2) {
    const uint64_t cheio = Cheio(ALado);
    const uint64_t vizinhos = cheio >> 1;  // positions with a right neighbour
    const uint64_t janelas = cheio >> 10;  // first module of a whole 11-module window
    int total = 0;
    for (int r = 0; r < ALado; ++r) {
        const uint64_t x = ALinhas[r];
        const uint64_t a = ~x;
        // Bit j: modules j and j+1 alike; then j..j+4 alike. A run of L >= 5
        // gives L-4 such bits in one block, and scores L-2.
        const uint64_t iguais = ~(x ^ x >> 1) & vizinhos;
        const uint64_t cinco = iguais & iguais >> 1 & iguais >> 2 & iguais >> 3;
        total += Contar(cinco) + 2 * Contar(cinco & ~(cinco << 1));
        // The finder's own 1:1:3:1:1 with four light modules after it, or
        // before it; the two windows differ at their first module, so never
        // both match at one place.
        const uint64_t nucleo = x & a >> 1 & x >> 2 & x >> 3 & x >> 4 & a >> 5 & x >> 6;
        if (nucleo != 0) {
            const uint64_t claros = a & a >> 1 & a >> 2 & a >> 3;
            const uint64_t ida = nucleo & claros >> 7;
            const uint64_t volta = claros & nucleo >> 4;
            total += 40 * Contar((ida | volta) & janelas);
        }
        if (A2x2 && r + 1 < ALado) {
            const uint64_t diferentes = x ^ ALinhas[r + 1];
            total += 3 * Contar(iguais & ~diferentes & ~(diferentes >> 1));
        }
    }
    return total;
}

// Stops early, with some value of at least ALimite, once the penalty is
// known to reach it.
int Penalidade(const uint64_t* ALinhas,
               const uint64_t* AColunas,
               int ALado,
               int ALimite = INT_MAX) {
    int escuros = 0;
    for (int r = 0; r < ALado; ++r) {
        escuros += Contar(ALinhas[r]);
    }
    const int modulos = ALado * ALado;
    int total = 10 * (std::abs(20 * escuros - 10 * modulos) / modulos);
    total += PenalidadeLinhas(ALinhas, ALado, true);
    if (total >= ALimite) {
        return total;
    }
    return total + PenalidadeLinhas(AColunas, ALado, false);
}

void PorFormato(uint64_t* ALinhas, uint64_t* AColunas, int ALado, uint16_t AFormato) {
    auto por = [&](int r, int c) {
        ALinhas[r] |= uint64_t{1} << c;
        AColunas[c] |= uint64_t{1} << r;
    };
    for (int i = 0; i < 15; ++i) {
        if (!(AFormato >> i & 1)) {
            continue;
        }
        if (i < 6) {
            por(i, 8);
        } else if (i == 6) {
            por(7, 8);
        } else if (i == 7) {
            por(8, 8);
        } else if (i == 8) {
            por(8, 7);
        } else {
            por(8, 14 - i);
        }
        if (i < 8) {
            por(8, ALado - 1 - i);
        } else {
            por(ALado - 15 + i, 8);
        }
    }
}

void AplicarMascara(const TTabelas& ATabelas,
                    const TModelo& AModelo,
                    const uint64_t* ALinhas,
                    const uint64_t* AColunas,
                    int AMascara,
                    uint64_t* ASaidaLinhas,
                    uint64_t* ASaidaColunas) {
    const int n = AModelo.Lado;
    for (int k = 0, periodo = 0; k < n; ++k, periodo = periodo == 11 ? 0 : periodo + 1) {
        ASaidaLinhas[k] =
            ALinhas[k] ^ (ATabelas.MascaraLinha[AMascara][periodo] & AModelo.LinhasLivres[k]);
        ASaidaColunas[k] =
            AColunas[k] ^ (ATabelas.MascaraColuna[AMascara][periodo] & AModelo.ColunasLivres[k]);
    }
    PorFormato(ASaidaLinhas, ASaidaColunas, n, ATabelas.Formato[AMascara]);
}

}  // namespace

bool GerarQRCode(const std::string& ATexto, TMatrizQR& AMatriz, int AMascara) {
    AMatriz.clear();
    if (AMascara < -1 || AMascara > 7) {
        return false;
    }
    const std::size_t tamanho = ATexto.size();
    int versao = 0;
    for (int v = 1; v <= kVersaoMax; ++v) {
        const std::size_t bitsContagem = v < 10 ? 8 : 16;
        if (4 + bitsContagem + 8 * tamanho <= 8 * static_cast<std::size_t>(kNivelM[v].Dados())) {
            versao = v;
            break;
        }
    }
    if (versao == 0) {
        return false;
    }
    const TTabelas& t = Tabelas();
    const TBlocos& blocos = kNivelM[versao];
    const TModelo& modelo = t.Modelos[versao];
    const int n = modelo.Lado;
    const int nDados = blocos.Dados();

    // Byte mode, the count, the bytes, the terminator, then pad codewords.
    uint8_t dados[kMaxPalavras];
    int pos = 0;
    uint32_t acumulado = 0;
    int pendentes = 0;
    auto escrever = [&](uint32_t AValor, int ABits) {
        acumulado = acumulado << ABits | AValor;
        pendentes += ABits;
        while (pendentes >= 8) {
            pendentes -= 8;
            dados[pos++] = static_cast<uint8_t>(acumulado >> pendentes);
        }
        acumulado &= (uint32_t{1} << pendentes) - 1;
    };
    escrever(0b0100, 4);
    escrever(static_cast<uint32_t>(tamanho), versao < 10 ? 8 : 16);
    for (const char ch : ATexto) {
        escrever(static_cast<uint8_t>(ch), 8);
    }
    escrever(0, std::min(4, 8 * nDados - (8 * pos + pendentes)));
    if (pendentes > 0) {
        escrever(0, 8 - pendentes);
    }
    for (uint8_t enchimento = 0xEC; pos < nDados; enchimento ^= 0xEC ^ 0x11) {
        dados[pos++] = enchimento;
    }

    // Reed-Solomon per block: the remainder of the block times x^E, by a
    // shift register that slides along a zeroed buffer instead of moving its
    // contents; it ends on the E bytes after the block.
    const int e = blocos.Ec;
    const uint8_t* produtos = t.Produtos[e].data();
    const int nBlocos = blocos.Blocos();
    const uint8_t* inicio[kMaxBlocos];
    const uint8_t* correcao[kMaxBlocos];
    int comprimento[kMaxBlocos];
    uint8_t registo[kMaxBlocos][kMaxPalavras + kPasso];
    int desvio = 0;
    for (int b = 0; b < nBlocos; ++b) {
        inicio[b] = dados + desvio;
        comprimento[b] = b < blocos.Blocos1 ? blocos.Dados1 : blocos.Dados2;
        desvio += comprimento[b];
        uint8_t* r = registo[b];
        std::fill(r, r + comprimento[b] + 1 + kPasso, 0);
        for (int k = 0; k < comprimento[b]; ++k, ++r) {
            const uint8_t* produto = produtos + (inicio[b][k] ^ r[0]) * kPasso;
            // The padding XORs zeros into cells not yet in the register.
            for (int w = 0; w < kPasso; w += 8) {
                uint64_t a;
                uint64_t p;
                std::memcpy(&a, r + 1 + w, 8);
                std::memcpy(&p, produto + w, 8);
                a ^= p;
                std::memcpy(r + 1 + w, &a, 8);
            }
        }
        correcao[b] = r;
    }

    // Interleaved: data column by column (the longer blocks last), then EC.
    uint8_t palavras[kMaxPalavras];
    int nPalavras = 0;
    const int maiorBloco = std::max(blocos.Dados1, blocos.Dados2);
    for (int k = 0; k < maiorBloco; ++k) {
        for (int b = 0; b < nBlocos; ++b) {
            if (k < comprimento[b]) {
                palavras[nPalavras++] = inicio[b][k];
            }
        }
    }
    for (int k = 0; k < e; ++k) {
        for (int b = 0; b < nBlocos; ++b) {
            palavras[nPalavras++] = correcao[b][k];
        }
    }

    // Placement, most significant bit first; modules left over stay light.
    uint64_t linhas[kLadoMax];
    uint64_t colunas[kLadoMax];
    for (int k = 0; k < n; ++k) {
        linhas[k] = modelo.Linhas[k];
        colunas[k] = modelo.Colunas[k];
    }
    // A pair's two columns are gathered in registers and stored once.
    const uint16_t* ordem = modelo.Ordem.data();
    const int nBits = 8 * nPalavras;
    int k = 0;
    for (const auto& par : modelo.Pares) {
        uint64_t direita = colunas[par.Direita];
        uint64_t esquerda = colunas[par.Direita - 1];
        for (const int fim = std::min(par.Fim, nBits); k < fim; ++k) {
            const uint64_t bit = palavras[k >> 3] >> (7 - (k & 7)) & 1;
            const int r = ordem[k] >> 6;
            const int c = ordem[k] & 63;
            const uint64_t naDireita = c == par.Direita;
            linhas[r] |= bit << c;
            direita |= (bit & naDireita) << r;
            esquerda |= (bit & (naDireita ^ 1)) << r;
        }
        colunas[par.Direita] = direita;
        colunas[par.Direita - 1] = esquerda;
    }

    uint64_t melhorLinhas[kLadoMax];
    uint64_t melhorColunas[kLadoMax];
    if (AMascara >= 0) {
        AplicarMascara(t, modelo, linhas, colunas, AMascara, melhorLinhas, melhorColunas);
    } else {
        uint64_t testeLinhas[kLadoMax];
        uint64_t testeColunas[kLadoMax];
        int menor = -1;
        for (int m = 0; m < 8; ++m) {
            AplicarMascara(t, modelo, linhas, colunas, m, testeLinhas, testeColunas);
            const int p = Penalidade(testeLinhas, testeColunas, n, menor < 0 ? INT_MAX : menor);
            // Strictly lower only: a tie keeps the lower mask number.
            if (menor < 0 || p < menor) {
                menor = p;
                std::copy(testeLinhas, testeLinhas + n, melhorLinhas);
            }
        }
    }

    AMatriz.resize(n);
    for (int r = 0; r < n; ++r) {
        std::vector<bool>& linha = AMatriz[r];
        linha.resize(n);
        for (uint64_t bits = melhorLinhas[r]; bits != 0; bits &= bits - 1) {
            linha[std::countr_zero(bits)] = true;
        }
    }
    return true;
}

std::string QRParaTerminal(const TMatrizQR& AMatriz, bool ACores) {
    const int n = static_cast<int>(AMatriz.size());
    if (n == 0) {
        return {};
    }
    constexpr int kBorda = 4;
    const int lado = n + 2 * kBorda;
    auto escuro = [&](int r, int c) {
        r -= kBorda;
        c -= kBorda;
        return r >= 0 && r < n && c >= 0 && c < static_cast<int>(AMatriz[r].size()) &&
               AMatriz[r][c];
    };
    std::string saida;
    for (int r = 0; r < lado; r += 2) {
        if (ACores) {
            saida += "\x1b[30;47m";
        }
        for (int c = 0; c < lado; ++c) {
            const bool cima = escuro(r, c);
            const bool baixo = escuro(r + 1, c);
            saida += cima ? (baixo ? "\u2588" : "\u2580") : (baixo ? "\u2584" : " ");
        }
        if (ACores) {
            saida += "\x1b[0m";
        }
        saida += '\n';
    }
    return saida;
}

int PenalidadeQR(const TMatrizQR& AMatriz) {
    const int n = static_cast<int>(AMatriz.size());
    if (n == 0 || n > 64) {
        return -1;
    }
    uint64_t linhas[64] = {};
    uint64_t colunas[64] = {};
    for (int r = 0; r < n; ++r) {
        if (static_cast<int>(AMatriz[r].size()) != n) {
            return -1;
        }
        for (int c = 0; c < n; ++c) {
            if (AMatriz[r][c]) {
                linhas[r] |= uint64_t{1} << c;
                colunas[c] |= uint64_t{1} << r;
            }
        }
    }
    return Penalidade(linhas, colunas, n);
}

}  // namespace ljsn
