// Command bodies as a phone could send them, through the programme's own
// command handler on a fake device and clock: any JSON (or not JSON) is
// answered or refused with a message, never a crash, and the state report
// stays valid JSON.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"

namespace {

ljsn::teste::TAmbienteProgramacao* GAmbiente = nullptr;

// Kept across inputs, as libFuzzer runs them.
ljsn::teste::TAmbienteProgramacao& Ambiente() {
    if (GAmbiente == nullptr) {
        GAmbiente = new ljsn::teste::TAmbienteProgramacao();
        auto* r = GAmbiente;
        r->CriarArquivos("musicas", {"m1.wav", "m2.wav"}, 2000);
        r->CriarArquivos("propagandas", {"a1.wav"}, 1000);
        r->Configurar([&](ljsn::TConfiguracoes& c) {
            c.PastaMusicas = r->Pasta("musicas");
            c.PastaPropagandas = r->Pasta("propagandas");
            c.MusicasEntrePropagandas = 1;
        });
        r->Criar();
    }
    return *GAmbiente;
}

}  // namespace

// The corpus replay's teardown: the programme joins its workers (a tag
// reader may be mid-file) while everything they use still exists.
extern "C" void LjsnFuzzEncerrar() {
    delete GAmbiente;
    GAmbiente = nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ATamanho) {
    using namespace ljsn;
    auto& a = Ambiente();
    const std::string_view bruto(reinterpret_cast<const char*>(AData), ATamanho);
    TJson dados = TJson::parse(bruto, nullptr, false);
    if (!dados.is_object()) {
        dados = TJson::object();
    }
    try {
        (void)ExecutarComando(*a.Programa, "comando", dados);
    } catch (const TErroComando&) {
        // Refused with a message for the phone.
    }
    a.Avancar(300);
    const std::string estado = ExecutarComando(*a.Programa, "estado", TJson{{"completo", true}});
    if (!TJson::accept(estado)) {
        std::abort();
    }
    return 0;
}
