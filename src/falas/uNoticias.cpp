// News: the feeds of the selected subjects, cleaned and filtered, and the
// choice of what the next block reads.
#include "falas/uNoticias.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

#include "ambiente/uRede.h"
#include "comum/uRegex.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"

namespace ljsn {

const std::array<std::string_view, 45> PalavrasPesadas = {
    "mort",     "morre",         "morte",     "obito",    "assassin",
    "homicid",  "feminicid",     "latrocin",  "crime",    "criminos",
    "estupr",   "abuso sexual",  "violencia", "violent",  "tiros",
    "tiroteio", "baleado",       "facada",    "esfaque",  "trafic",
    "sequestr", "suicid",        "tragedi",   "acidente", "desastre",
    "vitima",   "ferido",        "massacre",  "chacina",  "cadaver",
    "corpo de", "guerra",        "bombardei", "ataque",   "terroris",
    "prisao",   "preso",         "presa ",    "eleic",    "eleitor",
    "candidat", "presidenciave", "tse",       "partido",  "campanha eleitoral"};

namespace {

constexpr std::string_view kPadraoFeed = "https://agenciabrasil.ebc.com.br/rss/%s/feed.xml";

char MinusculaAZ(char AC) {
    return (AC >= 'A' && AC <= 'Z') ? static_cast<char>(AC - 'A' + 'a') : AC;
}

// Position of AAgulha (ASCII, lower case) in ATexto from AInicio, comparing
// A..Z without regard to case; npos when absent.
std::size_t ProcurarSemCaixa(std::string_view ATexto,
                             std::string_view AAgulha,
                             std::size_t AInicio) {
    if (AAgulha.empty() || AInicio > ATexto.size() || ATexto.size() - AInicio < AAgulha.size()) {
        return std::string_view::npos;
    }
    const char primeira = AAgulha[0];
    const char primeiraMaiuscula =
        (primeira >= 'a' && primeira <= 'z') ? static_cast<char>(primeira - 'a' + 'A') : primeira;
    const std::size_t ultimo = ATexto.size() - AAgulha.size();
    for (std::size_t i = AInicio; i <= ultimo; ++i) {
        const char c = ATexto[i];
        if (c != primeira && c != primeiraMaiuscula) {
            continue;
        }
        std::size_t k = 1;
        while (k < AAgulha.size() && MinusculaAZ(ATexto[i + k]) == AAgulha[k]) {
            ++k;
        }
        if (k == AAgulha.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

// PCRE's \s without Unicode properties.
bool EhEspaco(char AC) {
    return AC == ' ' || AC == '\t' || AC == '\n' || AC == '\v' || AC == '\f' || AC == '\r';
}

bool EhHex(char AC) {
    return (AC >= '0' && AC <= '9') || (AC >= 'a' && AC <= 'f') || (AC >= 'A' && AC <= 'F');
}

// The code of a numeric entity's digits; 32 when they cannot be read.
std::uint32_t CodigoEntidade(std::string_view ADigitos, bool AHex) {
    std::uint64_t v = 0;
    for (const char c : ADigitos) {
        int d = 0;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (!AHex) {
            return 32;  // a hex digit in a decimal entity
        } else {
            d = MinusculaAZ(c) - 'a' + 10;
        }
        v = v * (AHex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (v > 0x7FFFFFFF) {
            return 32;
        }
    }
    return static_cast<std::uint32_t>(v);
}

void AcrescentarEntidade(std::string& ADestino, std::uint32_t ACodigo) {
    // Beyond U+FFFF a space, as the feeds' old readers did. Controls and lone
    // surrogates would break the log and the speech text: a space too.
    if (ACodigo >= 0x10000 || ACodigo < 0x20 || (ACodigo >= 0x7F && ACodigo < 0xA0) ||
        (ACodigo >= 0xD800 && ACodigo < 0xE000)) {
        ADestino += ' ';
        return;
    }
    AcrescentarCodigo(ADestino, static_cast<char32_t>(ACodigo));
}

struct TEntidadeNomeada {
    std::string_view Nome;
    std::string_view Texto;
};
constexpr std::array<TEntidadeNomeada, 10> kEntidades = {{{"&nbsp;", " "},
                                                          {"&quot;", "\""},
                                                          {"&apos;", "'"},
                                                          {"&ndash;", "\u2013"},
                                                          {"&mdash;", "\u2014"},
                                                          {"&ordm;", "\u00BA"},
                                                          {"&ordf;", "\u00AA"},
                                                          {"&lt;", "<"},
                                                          {"&gt;", ">"},
                                                          {"&amp;", "&"}}};

// "&#(x?)([0-9a-fA-F]+);" replaced wherever it occurs.
std::string DecodificarNumericas(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const std::size_t amp = ATexto.find("&#", i);
        if (amp == std::string_view::npos) {
            break;
        }
        r.append(ATexto.substr(i, amp - i));
        std::size_t p = amp + 2;
        bool hex = false;
        if (p < ATexto.size() && ATexto[p] == 'x' && p + 1 < ATexto.size() &&
            EhHex(ATexto[p + 1])) {
            hex = true;
            ++p;
        }
        const std::size_t digitos = p;
        while (p < ATexto.size() && EhHex(ATexto[p])) {
            ++p;
        }
        if (p > digitos && p < ATexto.size() && ATexto[p] == ';') {
            AcrescentarEntidade(r, CodigoEntidade(ATexto.substr(digitos, p - digitos), hex));
            i = p + 1;
        } else {
            r += '&';
            i = amp + 1;
        }
    }
    r.append(ATexto.substr(std::min(i, ATexto.size())));
    return r;
}

// The named entities in one pass; a replacement never forms a new entity
// because "&amp;", the only one giving "&", comes last in the table.
std::string DecodificarNomeadas(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const std::size_t amp = ATexto.find('&', i);
        if (amp == std::string_view::npos) {
            break;
        }
        r.append(ATexto.substr(i, amp - i));
        const std::string_view resto = ATexto.substr(amp);
        const auto it = std::find_if(kEntidades.begin(), kEntidades.end(), [&](const auto& AE) {
            return ComecaCom(resto, AE.Nome);
        });
        if (it != kEntidades.end()) {
            r.append(it->Texto);
            i = amp + it->Nome.size();
        } else {
            r += '&';
            i = amp + 1;
        }
    }
    r.append(ATexto.substr(std::min(i, ATexto.size())));
    return r;
}

// "<!\[CDATA\[(.*?)\]\]>" replaced by its content.
std::string DesembrulharCdata(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (true) {
        const std::size_t inicio = ATexto.find("<![CDATA[", i);
        if (inicio == std::string_view::npos) {
            break;
        }
        const std::size_t fim = ATexto.find("]]>", inicio + 9);
        if (fim == std::string_view::npos) {
            break;
        }
        r.append(ATexto.substr(i, inicio - i));
        r.append(ATexto.substr(inicio + 9, fim - inicio - 9));
        i = fim + 3;
    }
    r.append(ATexto.substr(i));
    return r;
}

// "<[^>]*>" replaced by a space.
std::string TrocarTagsPorEspaco(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (true) {
        const std::size_t abre = ATexto.find('<', i);
        if (abre == std::string_view::npos) {
            break;
        }
        const std::size_t fecha = ATexto.find('>', abre + 1);
        if (fecha == std::string_view::npos) {
            break;
        }
        r.append(ATexto.substr(i, abre - i));
        r += ' ';
        i = fecha + 1;
    }
    r.append(ATexto.substr(i));
    return r;
}

// "\s+" to one space, trimmed, then "\s+([.,;:!?])" to "$1".
std::string ArrumarEspacos(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    bool espaco = false;
    for (const char c : ATexto) {
        if (EhEspaco(c)) {
            espaco = true;
            continue;
        }
        if (espaco) {
            r += ' ';
            espaco = false;
        }
        r += c;
    }
    std::string aparado = Aparar(r);
    std::string f;
    f.reserve(aparado.size());
    for (std::size_t i = 0; i < aparado.size(); ++i) {
        const char c = aparado[i];
        if (c == ' ' && i + 1 < aparado.size() &&
            std::string_view(".,;:!?").find(aparado[i + 1]) != std::string_view::npos) {
            continue;
        }
        f += c;
    }
    return f;
}

// Day, month and year fields to days since 1970-01-01 (proleptic Gregorian).
std::int64_t DiasDesde1970(std::int64_t AAno, int AMes, int ADia) {
    AAno -= AMes <= 2 ? 1 : 0;
    const std::int64_t era = (AAno >= 0 ? AAno : AAno - 399) / 400;
    const auto anoDaEra = static_cast<std::int64_t>(AAno - era * 400);
    const std::int64_t diaDoAno = (153 * (AMes + (AMes > 2 ? -3 : 9)) + 2) / 5 + ADia - 1;
    const std::int64_t diaDaEra = anoDaEra * 365 + anoDaEra / 4 - anoDaEra / 100 + diaDoAno;
    return era * 146097 + diaDaEra - 719468;
}

// Named zones of RFC 822 as minutes east of UTC.
int DeslocamentoZona(std::string_view AZona) {
    struct TZona {
        std::string_view Nome;
        int Minutos;
    };
    static constexpr std::array<TZona, 12> kZonas = {{{"UT", 0},
                                                      {"UTC", 0},
                                                      {"GMT", 0},
                                                      {"Z", 0},
                                                      {"EST", -300},
                                                      {"EDT", -240},
                                                      {"CST", -360},
                                                      {"CDT", -300},
                                                      {"MST", -420},
                                                      {"MDT", -360},
                                                      {"PST", -480},
                                                      {"PDT", -420}}};
    for (const auto& z : kZonas) {
        if (IguaisSemCaixaAZ(z.Nome, AZona)) {
            return z.Minutos;
        }
    }
    return 0;
}

}  // namespace

std::string UrlFeed(std::string_view AChave) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing here sets the environment
    const char* valor = std::getenv("LJSN_NOTICIAS_URL");
    const std::string padrao =
        (valor != nullptr && *valor != '\0') ? std::string(valor) : std::string(kPadraoFeed);
    const std::size_t p = padrao.find("%s");
    if (p == std::string::npos) {
        return padrao;
    }
    return padrao.substr(0, p) + std::string(AChave) + padrao.substr(p + 2);
}

bool AssuntoAtivo(std::string_view AAssuntos, std::string_view AChave) {
    if (Aparar(AAssuntos) == "*") {
        return true;
    }
    const std::string semEspacos = SubstituirTudo(AAssuntos, " ", "");
    for (const auto& parte : Dividir(semEspacos, ",")) {
        if (IguaisSemCaixa(parte, AChave)) {
            return true;
        }
    }
    return false;
}

bool PareceFeed(std::string_view ATexto) {
    std::size_t i = 0;
    if (ComecaCom(ATexto, "\xEF\xBB\xBF")) {
        i = 3;
    }
    while (i < ATexto.size() && static_cast<unsigned char>(ATexto[i]) <= ' ') {
        ++i;
    }
    if (i >= ATexto.size() || ATexto[i] != '<') {
        return false;
    }
    const std::string_view inicio = ATexto.substr(i, 512);
    if (ProcurarSemCaixa(inicio, "<html", 0) != std::string_view::npos ||
        ProcurarSemCaixa(inicio, "<!doctype html", 0) != std::string_view::npos) {
        return false;
    }
    return ProcurarSemCaixa(ATexto, "<rss", i) != std::string_view::npos ||
           ProcurarSemCaixa(ATexto, "<channel", i) != std::string_view::npos ||
           ProcurarSemCaixa(ATexto, "<rdf:rdf", i) != std::string_view::npos;
}

std::vector<TNoticia> BaixarNoticias(const std::string& AAssuntos,
                                     bool AFiltrar,
                                     double AAgora,
                                     std::stop_token AParar,
                                     std::string* AMotivo) {
    const double limite = AAgora - kIdadeMaximaNoticiaDias;
    std::vector<TNoticia> mantidas;
    std::set<std::string> links;
    TOpcoesBaixar opcoes;
    opcoes.Parar = AParar;
    bool grandeDemais = false;
    for (const TAssunto& assunto : TabelaAssuntos) {
        if (AParar.stop_requested()) {
            return {};
        }
        if (!AssuntoAtivo(AAssuntos, assunto.Chave)) {
            continue;
        }
        const TBaixado baixado = Baixar(UrlFeed(assunto.Chave), kAgenteUsuario, opcoes);
        grandeDemais = grandeDemais || baixado.Falha == TFalhaBaixar::fbGrandeDemais;
        const std::string& feed = baixado.Texto;
        if (!PareceFeed(feed)) {
            continue;
        }
        for (TNoticia& n : LerFeed(feed, assunto.Chave)) {
            const std::string chave = MinusculasAZ(n.Link);
            if (links.count(chave) != 0) {
                continue;
            }
            if (n.Data != 0 && n.Data < limite) {
                continue;
            }
            if (AFiltrar && NoticiaPesada(n)) {
                continue;
            }
            links.insert(chave);
            mantidas.push_back(std::move(n));
        }
    }
    if (AMotivo != nullptr) {
        *AMotivo = grandeDemais ? "resposta grande demais" : "sem internet?";
    }
    // Newest first; undated items last.
    std::stable_sort(mantidas.begin(), mantidas.end(), [](const TNoticia& A, const TNoticia& B) {
        if ((A.Data == 0) != (B.Data == 0)) {
            return B.Data == 0;
        }
        return A.Data > B.Data;
    });
    return mantidas;
}

std::vector<TNoticia> LerFeed(std::string_view AFeed, const std::string& AAssunto) {
    // "<item>(.*?)</item>", case-insensitive, "." across lines: once an
    // opening tag has no closing tag after it, no later one has either.
    std::vector<TNoticia> itens;
    std::size_t i = 0;
    while (true) {
        const std::size_t abre = ProcurarSemCaixa(AFeed, "<item>", i);
        if (abre == std::string_view::npos) {
            break;
        }
        const std::size_t fecha = ProcurarSemCaixa(AFeed, "</item>", abre + 6);
        if (fecha == std::string_view::npos) {
            break;
        }
        const std::string_view item = AFeed.substr(abre + 6, fecha - abre - 6);
        i = fecha + 7;
        TNoticia n;
        // A runaway title would hold the music down for hours.
        n.Titulo = CortarEmPalavra(LimparTexto(ConteudoTag(item, "title")), kMaxTituloNoticia);
        if (n.Titulo.empty()) {
            continue;
        }
        n.Link = Aparar(LimparTexto(ConteudoTag(item, "link")));
        n.Resumo = PrimeiraFrase(LimparTexto(ConteudoTag(item, "description")), kMaxResumoNoticia);
        n.Data = LerDataRss(ConteudoTag(item, "pubDate"));
        n.Assunto = AAssunto;
        itens.push_back(std::move(n));
    }
    return itens;
}

std::string ConteudoTag(std::string_view ATexto, std::string_view ATag) {
    // "<T[^>]*>(.*?)</T>", case-insensitive, "." across lines. Each step
    // takes the first candidate: a later one cannot succeed where it failed.
    const std::string tag = MinusculasAZ(ATag);
    const std::size_t abre = ProcurarSemCaixa(ATexto, "<" + tag, 0);
    if (abre == std::string_view::npos) {
        return {};
    }
    const std::size_t fimAbre = ATexto.find('>', abre + 1 + tag.size());
    if (fimAbre == std::string_view::npos) {
        return {};
    }
    const std::size_t fecha = ProcurarSemCaixa(ATexto, "</" + tag + ">", fimAbre + 1);
    if (fecha == std::string_view::npos) {
        return {};
    }
    return std::string(ATexto.substr(fimAbre + 1, fecha - fimAbre - 1));
}

std::string DecodificarEntidades(std::string_view ATexto) {
    return DecodificarNomeadas(DecodificarNumericas(ATexto));
}

std::string LimparTexto(std::string_view ATexto) {
    std::string t = DesembrulharCdata(ATexto);
    t = DecodificarEntidades(t);
    t = TrocarTagsPorEspaco(t);
    // Entities encoded twice ("&amp;lt;b&amp;gt;") surface only now.
    t = DecodificarEntidades(t);
    return ArrumarEspacos(t);
}

std::string PrimeiraFrase(std::string_view ATexto, std::size_t ALimite) {
    // "^(.+?[.!?])\s+(?=[A-ZÀ-Ý"“0-9])": the first full stop, exclamation or
    // question mark after at least one character, followed by spaces and an
    // upper-case letter, a double quote or a digit. "." stops at a line feed.
    std::string_view frase = ATexto;
    for (std::size_t i = 1; i < ATexto.size(); ++i) {
        const char c = ATexto[i];
        if (ATexto[i - 1] == '\n') {
            break;
        }
        if (c != '.' && c != '!' && c != '?') {
            continue;
        }
        std::size_t j = i + 1;
        while (j < ATexto.size() && EhEspaco(ATexto[j])) {
            ++j;
        }
        if (j == i + 1 || j >= ATexto.size()) {
            continue;
        }
        std::size_t p = j;
        const char32_t seguinte = LerCodigo(ATexto, p);
        const bool aceita = (seguinte >= U'A' && seguinte <= U'Z') ||
                            (seguinte >= U'\u00C0' && seguinte <= U'\u00DD') || seguinte == U'"' ||
                            seguinte == U'\u201C' || (seguinte >= U'0' && seguinte <= U'9');
        if (aceita) {
            frase = ATexto.substr(0, i + 1);
            break;
        }
    }
    std::string r = Aparar(frase);
    if (ContarCaracteres(r) > ALimite) {
        return {};
    }
    return r;
}

std::string RemoverAcentos(std::string_view ATexto) {
    // Upper-case accented letters fold too: a grim title in capitals must not
    // slip past the filter.
    static constexpr std::u32string_view kDe = U"áàâãäéèêëíìîïóòôõöúùûüçÁÀÂÃÄÉÈÊËÍÌÎÏÓÒÔÕÖÚÙÛÜÇ";
    static constexpr std::u32string_view kPara = U"aaaaaeeeeiiiiooooouuuucaaaaaeeeeiiiiooooouuuuc";
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        char32_t c = LerCodigo(ATexto, i);
        if (c >= U'A' && c <= U'Z') {
            c = c - U'A' + U'a';
        } else if (const std::size_t p = kDe.find(c); p != std::u32string_view::npos) {
            c = kPara[p];
        }
        AcrescentarCodigo(r, c);
    }
    return r;
}

bool NoticiaPesada(const TNoticia& ANoticia) {
    const std::string dobrado = RemoverAcentos(ANoticia.Titulo + " " + ANoticia.Resumo);
    std::string texto = " ";
    texto.reserve(dobrado.size() + 2);
    std::size_t i = 0;
    while (i < dobrado.size()) {
        // One space per character, whatever its length in bytes, so "corpo—de"
        // still reads "corpo de".
        const char32_t c = LerCodigo(dobrado, i);
        const bool mantem = (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U' ';
        texto += mantem ? static_cast<char>(c) : ' ';
    }
    texto += ' ';
    return std::any_of(PalavrasPesadas.begin(), PalavrasPesadas.end(), [&](std::string_view AS) {
        return texto.find(" " + std::string(AS)) != std::string::npos;
    });
}

double LerDataRss(std::string_view ATexto) {
    static const TRegex kData(
        "(\\d{1,2})\\s+([A-Za-z]{3})\\s+(\\d{4})\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*"
        "([+-]\\d{4}|(?:UTC|UT|GMT|Z|[ECMP][SD]T)(?![A-Za-z]))?");
    static constexpr std::array<std::string_view, 12> kMeses = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto m = kData.Procurar(ATexto);
    if (!m) {
        return 0;
    }
    int mes = 0;
    for (std::size_t i = 0; i < kMeses.size(); ++i) {
        if (IguaisSemCaixaAZ(kMeses[i], m->Grupo(2))) {
            mes = static_cast<int>(i) + 1;
        }
    }
    const int dia = LerInteiroOu(m->Grupo(1), 0);
    const int ano = LerInteiroOu(m->Grupo(3), 0);
    const int hora = LerInteiroOu(m->Grupo(4), 99);
    const int minuto = LerInteiroOu(m->Grupo(5), 99);
    const int segundo = m->Grupo(6).empty() ? 0 : LerInteiroOu(m->Grupo(6), 99);
    if (mes == 0 || !DataValida(ano, mes, dia) || hora > 23 || minuto > 59 || segundo > 59) {
        return 0;
    }
    const std::string zona = m->Grupo(7);
    if (zona.empty()) {
        // No zone: taken as local time.
        return CodificarData(ano, mes, dia) + CodificarHora(hora, minuto, segundo);
    }
    int deslocamento = 0;  // minutes east of UTC
    if (zona[0] == '+' || zona[0] == '-') {
        const int z = LerInteiroOu(zona, 0);
        deslocamento = (z / 100) * 60 + (z % 100);
    } else {
        deslocamento = DeslocamentoZona(zona);
    }
    const std::int64_t segundos = DiasDesde1970(ano, mes, dia) * 86400 + hora * 3600 + minuto * 60 +
                                  segundo - std::int64_t{deslocamento} * 60;
    return DataHoraDeTempoSistema(static_cast<std::time_t>(segundos));
}

std::vector<TNoticia> EscolherNoticias(const std::vector<TNoticia>& ANoticias,
                                       const TNoticiasLidas& ALidas,
                                       bool ARepetir,
                                       double AAgora) {
    const double limite = AAgora - kIdadeMaximaNoticiaDias;
    const auto emDia = [&](const TNoticia& AN) { return AN.Data == 0 || AN.Data >= limite; };
    std::vector<TNoticia> r;
    for (const TNoticia& n : ANoticias) {
        if (emDia(n) && ALidas.count(n.Link) == 0) {
            r.push_back(n);
        }
    }
    if (!r.empty()) {
        return r;
    }
    const double corte = ARepetir ? AAgora : AAgora - 240.0 / 1440.0;
    std::vector<std::pair<double, const TNoticia*>> relidas;
    for (const TNoticia& n : ANoticias) {
        const auto it = ALidas.find(n.Link);
        if (emDia(n) && it != ALidas.end() && it->second <= corte) {
            relidas.emplace_back(it->second, &n);
        }
    }
    std::stable_sort(relidas.begin(), relidas.end(), [](const auto& A, const auto& B) {
        return A.first < B.first;
    });
    for (const auto& [quando, n] : relidas) {
        r.push_back(*n);
    }
    return r;
}

std::string LimparParaFala(std::string_view ATexto) {
    static const TRegex kNumero("\\s*\\(\\d{1,2}º?\\)");
    static const TRegex kEspacos("\\s+");
    return Aparar(kEspacos.SubstituirPor(kNumero.SubstituirPor(ATexto, ""), " "));
}

std::string TextoNoticia(const TNoticia& ANoticia, bool AResumo) {
    std::string t = LimparParaFala(ANoticia.Titulo);
    if (!t.empty() && !TerminaCom(t, ".") && !TerminaCom(t, "!") && !TerminaCom(t, "?")) {
        t += '.';
    }
    if (AResumo && !ANoticia.Resumo.empty()) {
        t += ' ' + LimparParaFala(ANoticia.Resumo);
    }
    return t;
}

}  // namespace ljsn
