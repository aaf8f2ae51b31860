#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ljsn {

// An INI document kept in memory in file order. Section and key names compare
// without regard to A..Z case; keys and values are trimmed. Sections and keys
// nobody asked about survive a read and write unchanged, and so do comment
// lines and the lines before the first section, verbatim.
class TArquivoIni {
  public:
    struct TEntrada {
        std::string Chave;
        std::string Valor;
        // A line kept as it was (a comment, a line before any section): its
        // text is in Valor and it has no key.
        bool Bruta = false;
    };
    struct TSecao {
        std::string Nome;
        std::vector<TEntrada> Entradas;
    };

    // Lines longer than this are dropped as unreadable.
    static constexpr std::size_t kMaxLinha = std::size_t{64} * 1024;

    // AChavesComCaixa: keys compare exactly (file paths), not without case.
    explicit TArquivoIni(bool AChavesComCaixa = false) : FChavesComCaixa(AChavesComCaixa) {}
    // Never fails: lines that cannot be read (binary junk, an unterminated
    // section header, a key without "=", an enormous line) are skipped, and
    // bytes that are not UTF-8 are read as Windows-1252.
    static TArquivoIni Interpretar(std::string_view ATexto, bool AChavesComCaixa = false);

    std::optional<std::string> Ler(std::string_view ASecao, std::string_view AChave) const;
    bool Existe(std::string_view ASecao, std::string_view AChave) const;
    void Escrever(std::string_view ASecao, std::string_view AChave, std::string_view AValor);
    void RemoverChave(std::string_view ASecao, std::string_view AChave);
    void RemoverSecao(std::string_view ASecao);

    const std::vector<TSecao>& Secoes() const { return FSecoes; }
    const TSecao* Secao(std::string_view ANome) const;
    // The document as text, lines ending in CR LF, a blank line between sections.
    std::string Texto() const;

  private:
    TSecao* SecaoMutavel(std::string_view ANome);
    bool MesmaChave(std::string_view A, std::string_view B) const;
    bool FChavesComCaixa = false;
    std::vector<TSecao> FSecoes;
};

}  // namespace ljsn
