#include "ambiente/uServidorHttp.h"

#include <httplib.h>

namespace ljsn {

void ResponderSemCompressao(httplib::Server& AServidor) {
    // The library compresses whenever the client offers an encoding, so the
    // offer is withdrawn before routing; it owns the request as a mutable
    // object.
    AServidor.set_pre_routing_handler([](const httplib::Request& AReq, httplib::Response&) {
        const_cast<httplib::Request&>(AReq).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

}  // namespace ljsn
