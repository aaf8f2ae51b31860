#include "janelas/uStatus.h"

#include <algorithm>
#include <numeric>

#include "comum/uTexto.h"

namespace ljsn {

TStatusAjustado AjustarTextosStatus(const std::array<std::string, 5>& ATextos,
                                    int ADisponivel,
                                    const std::function<int(const std::string&)>& ALargura,
                                    int AMargem) {
    std::array<std::string, 5> t = ATextos;
    std::array<int, 5> w{};
    const auto medir = [&](std::size_t AI) {
        w[AI] = t[AI].empty() ? 0 : ALargura(t[AI]) + AMargem;
    };
    for (std::size_t i = 0; i < t.size(); ++i) {
        medir(i);
    }
    const auto soma = [&] { return std::accumulate(w.begin(), w.end(), 0); };
    for (const std::size_t i : {std::size_t{2}, std::size_t{1}, std::size_t{4}}) {
        if (soma() <= ADisponivel) {
            break;
        }
        t[i].clear();
        w[i] = 0;
    }
    if (soma() > ADisponivel) {
        if (const auto p = t[0].find("  \u00B7"); p != std::string::npos) {
            t[0] = t[0].substr(0, p);
            medir(0);
        }
    }
    if (!t[3].empty()) {
        w[3] = std::max(w[3], ADisponivel - (soma() - w[3]));
    }
    TStatusAjustado r;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (!t[i].empty()) {
            r.Paineis.push_back({t[i], w[i]});
        }
    }
    std::vector<std::string> linhas;
    for (const auto& texto : ATextos) {
        const std::string a = Aparar(texto);
        if (!a.empty()) {
            linhas.push_back(a);
        }
    }
    r.Dica = Juntar(linhas, "\n");
    return r;
}

}  // namespace ljsn
