#pragma once

namespace httplib {
class Server;
}

namespace ljsn {

// Our servers answer small, frequent requests from the shop's LAN or from
// this machine: compressing each reply would cost the box the encoder's
// memory and time for bytes the network does not miss. Call before listening.
void ResponderSemCompressao(httplib::Server& AServidor);

}  // namespace ljsn
