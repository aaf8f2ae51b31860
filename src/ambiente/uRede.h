#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

namespace ljsn {

// The one user agent every request to a web service carries.
inline constexpr std::string_view kAgenteUsuario = "LojaSonorante (+https://lojasonorante.com.br)";

// Bodies larger than this are refused whole.
inline constexpr std::size_t kMaxCorpoBaixado = 32u * 1024u * 1024u;

struct TOpcoesBaixar {
    // A stop request abandons the transfer (within about a second).
    std::stop_token Parar;
    // A server that trickles a byte a second never trips the 5 s silence
    // limit; this bounds the whole transfer.
    int LimiteTotalSegundos = 60;
};

// Why a download gave nothing.
enum class TFalhaBaixar : std::uint8_t {
    fbNenhuma,
    fbRede,          // no connection, a time limit, an HTTP library missing
    fbGrandeDemais,  // the body passed kMaxCorpoBaixado
    fbInterrompida,  // a stop request
};
struct TBaixado {
    std::string Texto;
    TFalhaBaixar Falha = TFalhaBaixar::fbNenhuma;
};

// The body of the resource at AUrl as UTF-8 text (CorpoParaUtf8); empty on
// any failure, including a transfer cut short (time limit, size cap, stop
// request), so a caller never parses half a document, and the failure says
// which. Redirects are followed; 5 s to connect and at most 5 s without data.
// The HTTP status is not looked at: an error page comes back like any other
// text. Any thread; blocks.
TBaixado Baixar(std::string_view AUrl,
                std::string_view AAgente = kAgenteUsuario,
                const TOpcoesBaixar& AOpcoes = {});
// The text alone.
std::string BaixarTexto(std::string_view AUrl,
                        std::string_view AAgente = kAgenteUsuario,
                        const TOpcoesBaixar& AOpcoes = {});
// A downloaded body as UTF-8. Valid UTF-8 passes as it is. A body declared
// UTF-8 (the Content-Type's charset, else an XML declaration), or undeclared
// but mostly UTF-8, keeps its text and has only its bad bytes replaced; one
// declared in another charset, or undeclared and not UTF-8 (older feeds in
// ISO-8859-1), is read as Windows-1252 rather than mangled.
std::string CorpoParaUtf8(std::string_view ACorpo, std::string_view ATipoConteudo);

// Percent-encodes the UTF-8 bytes of ATexto; only A-Z a-z 0-9 - . _ ~ stay.
std::string CodificarURL(std::string_view ATexto);

// Every IPv4 address of this computer's network interfaces (loopback left
// out), joined with ", "; empty when there is none.
std::string IPsLocais();

// The IPv4 address of the interface the system would use to reach the
// internet; empty when there is none. Sends nothing.
std::string IPLocalPrincipal();

// The address the phone opens: "http://IP:PORTA", one line per address.
std::string EnderecoCelular(int APorta);
// Whether another program holds APorta on IPv4 now (a bind would fail).
bool PortaEmUso(int APorta);
// A new PIN of six digits from the system's cryptographic random source.
std::string GerarPin();

}  // namespace ljsn
