#pragma once

#include <array>
#include <map>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace ljsn {

// What the news block says first and last, and its caption.
inline constexpr const char* kAberturaNoticias = "Agora, as notícias, com a Agência Brasil.";
inline constexpr const char* kFechoNoticias = "Fonte: Agência Brasil.";
inline constexpr const char* kLegendaNoticias = "Notícias · Agência Brasil";

// One news item as the announcer reads it.
struct TNoticia {
    std::string Titulo;  // cleaned; never empty
    std::string Resumo;  // first sentence of the description, or empty
    std::string Link;    // identifies the item (duplicates, the read list)
    std::string Assunto;
    double Data = 0;  // local date-time of publication; 0 when unknown
};

struct TAssunto {
    const char* Chave;  // in the feed address and the settings
    const char* Nome;   // shown in the settings dialog
};

inline constexpr std::array<TAssunto, 9> TabelaAssuntos = {
    {{"geral", "Geral"},
     {"economia", "Economia"},
     {"esportes", "Esportes"},
     {"saude", "Saúde"},
     {"educacao", "Educação"},
     {"cultura", "Cultura"},
     {"meio-ambiente", "Meio ambiente e clima"},
     {"internacional", "Internacional"},
     {"politica", "Política"}}};

// Word stems of the light-news filter; "presa " ends with a space on purpose.
extern const std::array<std::string_view, 45> PalavrasPesadas;

// Items older than this are neither fetched nor read.
inline constexpr double kIdadeMaximaNoticiaDias = 2160.0 / 1440.0;

// Link -> local date-time when the item was last read.
using TNoticiasLidas = std::map<std::string, double>;

// The feed address of a subject: LJSN_NOTICIAS_URL (with one "%s") when set,
// else the news agency's own.
std::string UrlFeed(std::string_view AChave);
// Whether the settings value ("*" or keys separated by commas) selects AChave.
bool AssuntoAtivo(std::string_view AAssuntos, std::string_view AChave);

// The items of every selected subject, filtered, without duplicate links,
// newest first. A subject whose feed fails, is not a feed, or is larger than
// the download cap gives nothing. Blocks on the network; any thread. AAgora
// is the local date-time the age limit counts from; a stop request abandons
// the download under way. AMotivo, when given, gets why the feeds gave
// nothing ("resposta grande demais", "sem internet?").
std::vector<TNoticia> BaixarNoticias(const std::string& AAssuntos,
                                     bool AFiltrar,
                                     double AAgora,
                                     std::stop_token AParar = {},
                                     std::string* AMotivo = nullptr);

// Whether a downloaded text is a news feed at all (an error page is not).
bool PareceFeed(std::string_view ATexto);
// What one item may make the announcer read, at most: a title cut at a word,
// and a summary of its description's first sentence.
inline constexpr std::size_t kMaxTituloNoticia = 300;
inline constexpr std::size_t kMaxResumoNoticia = 250;
// The items of one feed, in feed order; those without a title are left out.
// Everything is cleaned here, on the caller's (worker) thread.
std::vector<TNoticia> LerFeed(std::string_view AFeed, const std::string& AAssunto);
// The content of the first element ATag, or empty.
std::string ConteudoTag(std::string_view ATexto, std::string_view ATag);
// CDATA unwrapped, entities decoded (twice), tags removed, spaces tidied.
std::string LimparTexto(std::string_view ATexto);
std::string DecodificarEntidades(std::string_view ATexto);
// The first sentence, or the whole text without a sentence end; empty when
// that is longer than ALimite characters.
std::string PrimeiraFrase(std::string_view ATexto, std::size_t ALimite);
// Lower case (upper-case accented letters too) and without accents.
std::string RemoverAcentos(std::string_view ATexto);
bool NoticiaPesada(const TNoticia& ANoticia);
// An RFC 822 date ("Tue, 05 Mar 2024 14:30:00 -0300") as local date-time;
// 0 when unreadable.
double LerDataRss(std::string_view ATexto);

// What the next block reads: unread items in date first, else the rereads
// (read at or before the cut-off, longest ago first).
std::vector<TNoticia> EscolherNoticias(const std::vector<TNoticia>& ANoticias,
                                       const TNoticiasLidas& ALidas,
                                       bool ARepetir,
                                       double AAgora);
// A title without its "(2º)" marks, for speech.
std::string LimparParaFala(std::string_view ATexto);
// The spoken text of one item: the title with a full stop, and the summary.
std::string TextoNoticia(const TNoticia& ANoticia, bool AResumo);

}  // namespace ljsn
