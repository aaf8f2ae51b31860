#pragma once

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

// The body of the resource at AUrl as UTF-8 text; empty on any failure,
// including a transfer cut short (time limit, size cap, stop request), so a
// caller never parses half a document. Not UTF-8 bodies (older feeds in
// ISO-8859-1) are read as Windows-1252 rather than mangled. Redirects are
// followed; 5 s to connect and at most 5 s without data. The HTTP status is
// not looked at: an error page comes back like any other text. Any thread;
// blocks.
std::string BaixarTexto(std::string_view AUrl,
                        std::string_view AAgente = kAgenteUsuario,
                        const TOpcoesBaixar& AOpcoes = {});

// Percent-encodes the UTF-8 bytes of ATexto; only A-Z a-z 0-9 - . _ ~ stay.
std::string CodificarURL(std::string_view ATexto);

// Every IPv4 address of this computer's network interfaces (loopback left
// out), joined with ", "; empty when there is none.
std::string IPsLocais();

// The IPv4 address of the interface the system would use to reach the
// internet; empty when there is none. Sends nothing.
std::string IPLocalPrincipal();

}  // namespace ljsn
