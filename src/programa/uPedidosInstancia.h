#pragma once

#include <functional>
#include <string>

#include "comum/uFilaPrincipal.h"
#include "programa/uControle.h"

namespace ljsn {

// What only a face with windows does for a second copy's request.
struct TFaceInstancia {
    // "MOSTRAR": the window comes to the front.
    std::function<void()> Mostrar;
    // "ACAO n": the window's own actions; unset, the programme's.
    std::function<void(int)> Acao;
};

// A second copy's request, answered for the running programme: "MOSTRAR",
// "ACAO n", "ESTADO" (the state report) and "CIDADE {json}" (the weather's
// place from --buscar-cidade --salvar, applied and saved by the programme).
// Runs on the channel's thread; what touches the programme runs on the main
// thread through AFila.
std::string AtenderPedidoInstancia(TFilaPrincipal& AFila,
                                   IControle& AControle,
                                   const std::string& APedido,
                                   const TFaceInstancia& AFace = {});

// The "CIDADE" request for a place.
std::string PedidoCidade(const std::string& AExibicao, double ALatitude, double ALongitude);

}  // namespace ljsn
