#include "comum/uIni.h"

#include <algorithm>
#include <iterator>

#include "comum/uTexto.h"

namespace ljsn {

bool TArquivoIni::MesmaChave(std::string_view A, std::string_view B) const {
    return FChavesComCaixa ? A == B : IguaisSemCaixaAZ(A, B);
}

TArquivoIni TArquivoIni::Interpretar(std::string_view ATexto, bool AChavesComCaixa) {
    TArquivoIni ini(AChavesComCaixa);
    TSecao* atual = nullptr;
    bool vistaSecao = false;
    std::string_view texto = ATexto;
    if (ComecaCom(texto, "\xEF\xBB\xBF")) {
        texto.remove_prefix(3);
    }
    for (const std::string& bruta : DividirLinhas(texto)) {
        if (bruta.size() > kMaxLinha || bruta.find('\0') != std::string::npos) {
            continue;
        }
        // A stray byte-order mark (U+FEFF) means nothing inside the file.
        const std::string utf8 = SubstituirTudo(GarantirUtf8(bruta), "\xEF\xBB\xBF", "");
        const std::string linha = Aparar(utf8);
        if (linha.empty()) {
            continue;
        }
        const bool comentario = linha[0] == ';' || linha[0] == '#';
        if (!vistaSecao && linha[0] != '[') {
            // Before the first section nothing is read, but it stays as written.
            if (ini.FSecoes.empty()) {
                ini.FSecoes.push_back({std::string(), {}});
            }
            ini.FSecoes.front().Entradas.push_back({std::string(), utf8, true});
            continue;
        }
        if (comentario) {
            if (atual != nullptr) {
                atual->Entradas.push_back({std::string(), utf8, true});
            }
            continue;
        }
        if (linha[0] == '[') {
            vistaSecao = true;
            const std::size_t fecha = linha.find(']');
            if (fecha == std::string::npos) {
                // Half a header: what follows cannot be trusted to belong anywhere.
                atual = nullptr;
                continue;
            }
            const std::string nome = Aparar(std::string_view(linha).substr(1, fecha - 1));
            if (nome.empty()) {
                // "[]" names nothing: what follows belongs nowhere.
                atual = nullptr;
                continue;
            }
            atual = ini.SecaoMutavel(nome);
            if (atual == nullptr) {
                ini.FSecoes.push_back({nome, {}});
                atual = &ini.FSecoes.back();
            }
            continue;
        }
        const std::size_t igual = linha.find('=');
        if (igual == std::string::npos || igual == 0 || atual == nullptr) {
            continue;
        }
        TEntrada entrada{Aparar(std::string_view(linha).substr(0, igual)),
                         Aparar(std::string_view(linha).substr(igual + 1))};
        if (entrada.Chave.empty()) {
            continue;
        }
        const bool repetida =
            std::any_of(atual->Entradas.begin(), atual->Entradas.end(), [&](const TEntrada& e) {
                return ini.MesmaChave(e.Chave, entrada.Chave);
            });
        if (!repetida) {  // the first of duplicate keys wins, as it is the one read
            atual->Entradas.push_back(std::move(entrada));
        }
    }
    return ini;
}

TArquivoIni::TSecao* TArquivoIni::SecaoMutavel(std::string_view ANome) {
    for (auto& s : FSecoes) {
        if (IguaisSemCaixaAZ(s.Nome, ANome)) {
            return &s;
        }
    }
    return nullptr;
}

const TArquivoIni::TSecao* TArquivoIni::Secao(std::string_view ANome) const {
    for (const auto& s : FSecoes) {
        if (IguaisSemCaixaAZ(s.Nome, ANome)) {
            return &s;
        }
    }
    return nullptr;
}

std::optional<std::string> TArquivoIni::Ler(std::string_view ASecao,
                                            std::string_view AChave) const {
    const TSecao* s = Secao(ASecao);
    if (s == nullptr) {
        return std::nullopt;
    }
    for (const auto& e : s->Entradas) {
        if (!e.Bruta && MesmaChave(e.Chave, AChave)) {
            return e.Valor;
        }
    }
    return std::nullopt;
}

bool TArquivoIni::Existe(std::string_view ASecao, std::string_view AChave) const {
    return Ler(ASecao, AChave).has_value();
}

void TArquivoIni::Escrever(std::string_view ASecao,
                           std::string_view AChave,
                           std::string_view AValor) {
    TSecao* s = SecaoMutavel(ASecao);
    if (s == nullptr) {
        FSecoes.push_back({std::string(ASecao), {}});
        s = &FSecoes.back();
    }
    // Line breaks would split the entry into lines read back differently.
    std::string valor = SubstituirTudo(SubstituirTudo(AValor, "\r", " "), "\n", " ");
    for (auto& e : s->Entradas) {
        if (!e.Bruta && MesmaChave(e.Chave, AChave)) {
            e.Valor = std::move(valor);
            return;
        }
    }
    // After the section's last key: comments that close a section usually
    // speak of the next one.
    auto fim = s->Entradas.end();
    while (fim != s->Entradas.begin() && std::prev(fim)->Bruta) {
        --fim;
    }
    s->Entradas.insert(fim, {std::string(AChave), std::move(valor)});
}

void TArquivoIni::RemoverChave(std::string_view ASecao, std::string_view AChave) {
    TSecao* s = SecaoMutavel(ASecao);
    if (s == nullptr) {
        return;
    }
    std::erase_if(s->Entradas,
                  [&](const TEntrada& e) { return !e.Bruta && MesmaChave(e.Chave, AChave); });
}

void TArquivoIni::RemoverSecao(std::string_view ASecao) {
    std::erase_if(FSecoes, [&](const TSecao& s) { return IguaisSemCaixaAZ(s.Nome, ASecao); });
}

std::string TArquivoIni::Texto() const {
    std::string r;
    // The comment lines that end a section go after the blank line, next to
    // the header they were written above.
    std::string antesDoCabecalho;
    for (std::size_t i = 0; i < FSecoes.size(); ++i) {
        const TSecao& secao = FSecoes[i];
        if (i > 0) {
            r += "\r\n";
        }
        r += antesDoCabecalho;
        antesDoCabecalho.clear();
        if (!secao.Nome.empty()) {
            r += "[" + secao.Nome + "]\r\n";
        }
        std::size_t corpo = secao.Entradas.size();
        while (!secao.Nome.empty() && corpo > 0 && secao.Entradas[corpo - 1].Bruta) {
            --corpo;
        }
        for (std::size_t k = 0; k < secao.Entradas.size(); ++k) {
            const TEntrada& e = secao.Entradas[k];
            std::string& destino = k < corpo ? r : antesDoCabecalho;
            destino += e.Bruta ? e.Valor + "\r\n" : e.Chave + "=" + e.Valor + "\r\n";
        }
    }
    return r + antesDoCabecalho;
}

}  // namespace ljsn
