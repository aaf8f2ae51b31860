#include "ambiente/uRede.h"

#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <arpa/inet.h>
// The functions are reached through pointers, so curl's type-checking macros
// have nothing to check.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>
#include <dlfcn.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comum/uFormato.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

// libcurl and the TLS libraries it pulls in are loaded on the first download:
// a box without news or weather never pays their memory.
struct TCurl {
    decltype(&curl_global_init) GlobalInit = nullptr;
    decltype(&curl_easy_init) EasyInit = nullptr;
    decltype(&curl_easy_setopt) EasySetopt = nullptr;
    decltype(&curl_easy_perform) EasyPerform = nullptr;
    decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
    decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
    decltype(&curl_slist_append) SlistAppend = nullptr;
    decltype(&curl_slist_free_all) SlistFreeAll = nullptr;
};

template <typename F>
bool Carregar(void* ABiblioteca, const char* ANome, F& ADestino) {
    ADestino = reinterpret_cast<F>(::dlsym(ABiblioteca, ANome));
    return ADestino != nullptr;
}

std::optional<TCurl> AbrirCurl() {
    void* biblioteca = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (biblioteca == nullptr) {
        return std::nullopt;
    }
    TCurl f;
    const bool completa = Carregar(biblioteca, "curl_global_init", f.GlobalInit) &&
                          Carregar(biblioteca, "curl_easy_init", f.EasyInit) &&
                          Carregar(biblioteca, "curl_easy_setopt", f.EasySetopt) &&
                          Carregar(biblioteca, "curl_easy_perform", f.EasyPerform) &&
                          Carregar(biblioteca, "curl_easy_cleanup", f.EasyCleanup) &&
                          Carregar(biblioteca, "curl_easy_getinfo", f.EasyGetinfo) &&
                          Carregar(biblioteca, "curl_slist_append", f.SlistAppend) &&
                          Carregar(biblioteca, "curl_slist_free_all", f.SlistFreeAll);
    if (!completa || f.GlobalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        return std::nullopt;  // stays loaded: unloading TLS libraries is not safe
    }
    return f;
}

// Null when libcurl is missing or incomplete; the download then fails like
// any other.
const TCurl* Curl() {
    static const std::optional<TCurl> curl = AbrirCurl();
    return curl ? &*curl : nullptr;
}

struct TRecebido {
    std::string Corpo;
    bool GrandeDemais = false;
};

std::size_t Receber(char* ADados, std::size_t ATamanho, std::size_t AQuantos, void* AUsuario) {
    auto* recebido = static_cast<TRecebido*>(AUsuario);
    const std::size_t n = ATamanho * AQuantos;
    // A feed or forecast is a few hundred kilobytes; anything far larger is
    // not what was asked for and must not exhaust memory.
    if (recebido->Corpo.size() + n > kMaxCorpoBaixado) {
        recebido->GrandeDemais = true;
        return 0;  // aborts the transfer
    }
    recebido->Corpo.append(ADados, n);
    return n;
}

// The charset a Content-Type or an XML declaration names, in lower case;
// empty when none.
std::string CharsetDeclarado(std::string_view ACorpo, std::string_view ATipoConteudo) {
    const auto depoisDe = [](std::string_view ATexto, std::string_view AChave) -> std::string {
        const std::string minusculo = MinusculasAZ(ATexto);
        const std::size_t p = minusculo.find(AChave);
        if (p == std::string::npos) {
            return {};
        }
        std::size_t i = p + AChave.size();
        while (i < minusculo.size() && (minusculo[i] == ' ' || minusculo[i] == '"' ||
                                        minusculo[i] == '\'' || minusculo[i] == '=')) {
            ++i;
        }
        std::size_t fim = i;
        while (fim < minusculo.size() &&
               (std::isalnum(static_cast<unsigned char>(minusculo[fim])) || minusculo[fim] == '-' ||
                minusculo[fim] == '_')) {
            ++fim;
        }
        return minusculo.substr(i, fim - i);
    };
    std::string charset = depoisDe(ATipoConteudo, "charset");
    if (charset.empty()) {
        std::string_view inicio = ACorpo.substr(0, 256);
        if (ComecaCom(inicio, "\xEF\xBB\xBF")) {
            return "utf-8";
        }
        const std::size_t fim = inicio.find("?>");
        if (ComecaCom(inicio, "<?xml") && fim != std::string_view::npos) {
            charset = depoisDe(inicio.substr(0, fim), "encoding");
        }
    }
    return charset;
}

int Progresso(void* AUsuario, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* parar = static_cast<const std::stop_token*>(AUsuario);
    return parar->stop_requested() ? 1 : 0;
}

}  // namespace

std::string CorpoParaUtf8(std::string_view ACorpo, std::string_view ATipoConteudo) {
    if (Utf8Valido(ACorpo)) {
        return std::string(ACorpo);
    }
    const std::string charset = CharsetDeclarado(ACorpo, ATipoConteudo);
    const bool utf8 =
        charset.empty() ? PareceUtf8(ACorpo) : (charset == "utf-8" || charset == "utf8");
    return utf8 ? RepararUtf8(ACorpo) : Cp1252ParaUtf8(ACorpo);
}

std::string BaixarTexto(std::string_view AUrl,
                        std::string_view AAgente,
                        const TOpcoesBaixar& AOpcoes) {
    return Baixar(AUrl, AAgente, AOpcoes).Texto;
}

TBaixado Baixar(std::string_view AUrl, std::string_view AAgente, const TOpcoesBaixar& AOpcoes) {
    const TBaixado rede{{}, TFalhaBaixar::fbRede};
    if (AOpcoes.Parar.stop_requested()) {
        return {{}, TFalhaBaixar::fbInterrompida};
    }
    const TCurl* f = Curl();
    if (f == nullptr) {
        return rede;
    }
    const auto liberarCurl = [f](CURL* ACurl) { f->EasyCleanup(ACurl); };
    std::unique_ptr<CURL, decltype(liberarCurl)> curl(f->EasyInit(), liberarCurl);
    if (!curl) {
        return rede;
    }
    const std::string url(AUrl);
    const std::string agente(AAgente);
    TRecebido recebido;
    curl_slist* bruta = f->SlistAppend(nullptr, "Cache-Control: no-cache");
    bruta = f->SlistAppend(bruta, "Pragma: no-cache");
    const auto liberarLista = [f](curl_slist* ALista) { f->SlistFreeAll(ALista); };
    std::unique_ptr<curl_slist, decltype(liberarLista)> cabecalhos(bruta, liberarLista);
    CURL* c = curl.get();
    f->EasySetopt(c, CURLOPT_URL, url.c_str());
    f->EasySetopt(c, CURLOPT_USERAGENT, agente.c_str());
    f->EasySetopt(c, CURLOPT_HTTPHEADER, cabecalhos.get());
    f->EasySetopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    f->EasySetopt(c, CURLOPT_MAXREDIRS, 10L);
    f->EasySetopt(c, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    // No data for 5 s (fewer than 1 byte/s) ends the transfer.
    f->EasySetopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    f->EasySetopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
    f->EasySetopt(c, CURLOPT_NOSIGNAL, 1L);
    f->EasySetopt(c, CURLOPT_ACCEPT_ENCODING, "");
    f->EasySetopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    f->EasySetopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    f->EasySetopt(c, CURLOPT_WRITEFUNCTION, &Receber);
    f->EasySetopt(c, CURLOPT_WRITEDATA, &recebido);
    f->EasySetopt(c, CURLOPT_TIMEOUT, static_cast<long>(AOpcoes.LimiteTotalSegundos));
    f->EasySetopt(c, CURLOPT_NOPROGRESS, 0L);
    f->EasySetopt(c, CURLOPT_XFERINFOFUNCTION, &Progresso);
    f->EasySetopt(c, CURLOPT_XFERINFODATA, &AOpcoes.Parar);
    if (f->EasyPerform(c) != CURLE_OK) {
        if (recebido.GrandeDemais) {
            return {{}, TFalhaBaixar::fbGrandeDemais};
        }
        return AOpcoes.Parar.stop_requested() ? TBaixado{{}, TFalhaBaixar::fbInterrompida} : rede;
    }
    char* tipo = nullptr;
    f->EasyGetinfo(c, CURLINFO_CONTENT_TYPE, &tipo);
    return {CorpoParaUtf8(recebido.Corpo, tipo != nullptr ? tipo : ""), TFalhaBaixar::fbNenhuma};
}

std::string CodificarURL(std::string_view ATexto) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string r;
    r.reserve(ATexto.size() * 3);
    for (const char ch : ATexto) {
        const auto b = static_cast<unsigned char>(ch);
        const bool livre = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                           (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~';
        if (livre) {
            r += ch;
        } else {
            r += '%';
            r += kHex[b >> 4];
            r += kHex[b & 0x0F];
        }
    }
    return r;
}

std::string IPsLocais() {
    std::vector<std::string> enderecos;
    ifaddrs* lista = nullptr;
    if (::getifaddrs(&lista) == 0) {
        for (const ifaddrs* i = lista; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            sockaddr_in endereco{};
            std::memcpy(&endereco, i->ifa_addr, sizeof endereco);
            if ((ntohl(endereco.sin_addr.s_addr) >> 24) == 127) {
                continue;
            }
            std::array<char, INET_ADDRSTRLEN> texto{};
            if (::inet_ntop(AF_INET, &endereco.sin_addr, texto.data(), texto.size()) != nullptr) {
                enderecos.emplace_back(texto.data());
            }
        }
        ::freeifaddrs(lista);
    }
    return Juntar(enderecos, ", ");
}

std::string IPLocalPrincipal() {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (s < 0) {
        return {};
    }
    std::string r;
    sockaddr_in destino{};
    destino.sin_family = AF_INET;
    destino.sin_port = htons(53);
    ::inet_pton(AF_INET, "8.8.8.8", &destino.sin_addr);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&destino), sizeof destino) == 0) {
        sockaddr_in local{};
        socklen_t tamanho = sizeof local;
        if (::getsockname(s, reinterpret_cast<sockaddr*>(&local), &tamanho) == 0 &&
            local.sin_addr.s_addr != htonl(INADDR_ANY)) {
            std::array<char, INET_ADDRSTRLEN> texto{};
            if (::inet_ntop(AF_INET, &local.sin_addr, texto.data(), texto.size()) != nullptr) {
                r = texto.data();
            }
        }
    }
    ::close(s);
    return r;
}

std::string EnderecoCelular(int APorta) {
    const std::string principal = IPLocalPrincipal();
    if (!principal.empty()) {
        return FormatarOuFormato("http://%s:%d", principal, APorta);
    }
    std::vector<std::string> linhas;
    for (const auto& parte : Dividir(IPsLocais(), ",")) {
        const std::string ip = Aparar(parte);
        if (!ip.empty() && !ComecaCom(ip, "127.")) {
            linhas.push_back(FormatarOuFormato("http://%s:%d", ip, APorta));
        }
    }
    return Juntar(linhas, "\r\n");
}

bool PortaEmUso(int APorta) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    // As the server binds: address reuse on, so a port in TIME_WAIT is free.
    int sim = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_ANY);
    endereco.sin_port = htons(static_cast<std::uint16_t>(APorta));
    const bool ocupada = ::bind(s, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 &&
                         errno == EADDRINUSE;
    ::close(s);
    return ocupada;
}

std::string GerarPin() {
    // A PIN guessable from the time it was made would protect nothing.
    std::string pin;
    while (pin.size() < 6) {
        unsigned char b = 0;
        if (::getrandom(&b, 1, 0) != 1) {
            continue;
        }
        if (b < 250) {  // 250 = 25 x 10: no bias towards low digits
            pin += static_cast<char>('0' + b % 10);
        }
    }
    return pin;
}

}  // namespace ljsn
