#include "comum/uArquivoTexto.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "comum/uTexto.h"

namespace ljsn {

std::optional<std::string> LerArquivoBytes(const std::string& ACaminho) {
    std::error_code erro;
    if (!std::filesystem::is_regular_file(ACaminho, erro)) {
        return std::nullopt;
    }
    std::ifstream arquivo(ACaminho, std::ios::binary);
    if (!arquivo) {
        return std::nullopt;
    }
    std::ostringstream conteudo;
    conteudo << arquivo.rdbuf();
    if (arquivo.bad()) {
        return std::nullopt;
    }
    return std::move(conteudo).str();
}

namespace {

std::string Utf16ParaUtf8(std::string_view ABytes, bool ABigEndian) {
    std::string r;
    std::size_t i = 0;
    auto unidade = [&](std::size_t p) -> char16_t {
        const auto a = static_cast<unsigned char>(ABytes[p]);
        const auto b = static_cast<unsigned char>(ABytes[p + 1]);
        return static_cast<char16_t>(ABigEndian ? (a << 8) | b : (b << 8) | a);
    };
    while (i + 1 < ABytes.size()) {
        char32_t c = unidade(i);
        i += 2;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < ABytes.size()) {
            const char16_t baixo = unidade(i);
            if (baixo >= 0xDC00 && baixo <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (baixo - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AcrescentarCodigo(r, c);
    }
    return r;
}

}  // namespace

std::string DecodificarTexto(std::string_view ABytes) {
    if (ComecaCom(ABytes, kBomUtf8)) {
        return GarantirUtf8(ABytes.substr(3));
    }
    if (ComecaCom(ABytes, "\xFF\xFE")) {
        return Utf16ParaUtf8(ABytes.substr(2), false);
    }
    if (ComecaCom(ABytes, "\xFE\xFF")) {
        return Utf16ParaUtf8(ABytes.substr(2), true);
    }
    return GarantirUtf8(ABytes);
}

std::optional<std::string> LerArquivoTexto(const std::string& ACaminho) {
    auto bytes = LerArquivoBytes(ACaminho);
    if (!bytes) {
        return std::nullopt;
    }
    return DecodificarTexto(*bytes);
}

namespace {
// The save's temporary copies: ".NAME." and six characters from mkstemp.
std::string PrefixoTemporario(const std::filesystem::path& ADestino) {
    return "." + ADestino.filename().string() + ".";
}
}  // namespace

void GravarArquivoAtomico(const std::string& ACaminho, std::string_view ABytes) {
    const std::filesystem::path destino(ACaminho);
    std::filesystem::path pasta = destino.parent_path();
    if (pasta.empty()) {
        pasta = ".";
    }
    std::string temporario = PrefixoTemporario(destino) + "XXXXXX";
    std::string modelo = (pasta / temporario).string();
    const int fd = ::mkstemp(modelo.data());
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "criar " + modelo);
    }
    auto falhar = [&](const char* AOperacao) {
        const int codigo = errno;
        ::close(fd);
        ::unlink(modelo.c_str());
        throw std::system_error(
            codigo, std::generic_category(), std::string(AOperacao) + " " + ACaminho);
    };
    std::size_t escrito = 0;
    while (escrito < ABytes.size()) {
        const ssize_t n = ::write(fd, ABytes.data() + escrito, ABytes.size() - escrito);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            falhar("gravar");
        }
        escrito += static_cast<std::size_t>(n);
    }
    // Keep the permissions of the file being replaced; a new one gets 0644.
    struct stat info {};
    const mode_t modo = (::stat(ACaminho.c_str(), &info) == 0) ? (info.st_mode & 07777) : 0644;
    if (::fchmod(fd, modo) != 0) {
        falhar("permissoes");
    }
    if (::fsync(fd) != 0) {
        falhar("sincronizar");
    }
    if (::close(fd) != 0) {
        const int codigo = errno;
        ::unlink(modelo.c_str());
        throw std::system_error(codigo, std::generic_category(), "fechar " + ACaminho);
    }
    if (::rename(modelo.c_str(), ACaminho.c_str()) != 0) {
        const int codigo = errno;
        ::unlink(modelo.c_str());
        throw std::system_error(codigo, std::generic_category(), "renomear " + ACaminho);
    }
    // Make the rename itself durable.
    const int fdPasta = ::open(pasta.c_str(), O_RDONLY | O_DIRECTORY);
    if (fdPasta >= 0) {
        ::fsync(fdPasta);
        ::close(fdPasta);
    }
}

void RemoverTemporariosDe(const std::string& ACaminho) {
    const std::filesystem::path destino(ACaminho);
    const std::string prefixo = PrefixoTemporario(destino);
    std::error_code erro;
    std::filesystem::path pasta = destino.parent_path();
    if (pasta.empty()) {
        pasta = ".";
    }
    for (const auto& e : std::filesystem::directory_iterator(pasta, erro)) {
        const std::string nome = e.path().filename().string();
        // The mkstemp pattern: the prefix and exactly six characters.
        if (nome.size() == prefixo.size() + 6 && nome.compare(0, prefixo.size(), prefixo) == 0 &&
            e.is_regular_file(erro)) {
            std::filesystem::remove(e.path(), erro);
        }
    }
}

std::string MontarTextoComBom(const std::vector<std::string>& ALinhas) {
    std::string r(kBomUtf8);
    for (const auto& linha : ALinhas) {
        r += linha;
        r += "\r\n";
    }
    return r;
}

}  // namespace ljsn
