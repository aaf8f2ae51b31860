#include "locutor/uVozEdge.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "ambiente/uServidorHttp.h"
#include "comum/uTexto.h"
#include "recursos/uRecursos.h"

namespace ljsn {

namespace {

using TJsonVoz = nlohmann::ordered_json;

const std::array<const char*, 3> kVozesPadrao = {
    "Microsoft Antônio Online (Natural) - Portuguese (Brazil)",
    "Microsoft Francisca Online (Natural) - Portuguese (Brazil)",
    "Microsoft Thalita multilíngue Online (Natural) - Portuguese (Brazil)"};

constexpr std::uint32_t kSilencioMs = 30000;
constexpr std::uint32_t kOutraPaginaMs = 15000;
constexpr std::uint32_t kSemInicioMs = 20000;
constexpr auto kLongaEspera = std::chrono::milliseconds(10000);

std::unique_ptr<TVozEdge>& Unica() {
    static std::unique_ptr<TVozEdge> instancia;
    return instancia;
}

TRelogio*& RelogioDefinido() {
    static TRelogio* relogio = nullptr;
    return relogio;
}

bool Executavel(const std::string& ACaminho) {
    std::error_code erro;
    return !ACaminho.empty() && std::filesystem::is_regular_file(ACaminho, erro) &&
           ::access(ACaminho.c_str(), X_OK) == 0;
}

std::string NovoToken() {
    std::array<unsigned char, 16> bytes{};
    std::size_t lidos = 0;
    while (lidos < bytes.size()) {
        const ssize_t n = ::getrandom(bytes.data() + lidos, bytes.size() - lidos, 0);
        if (n > 0) {
            lidos += static_cast<std::size_t>(n);
        }
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string r;
    for (const unsigned char b : bytes) {
        r += kHex[b >> 4];
        r += kHex[b & 15];
    }
    return r;
}

// Equal texts, compared in time that does not depend on where they differ.
bool IguaisEmTempoConstante(std::string_view A, std::string_view B) {
    unsigned diferenca = A.size() == B.size() ? 0u : 1u;
    const std::size_t n = std::max(A.size(), B.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(i < A.size() ? A[i] : 0);
        const auto b = static_cast<unsigned char>(i < B.size() ? B[i] : 0);
        diferenca |= static_cast<unsigned>(a ^ b);
    }
    return diferenca == 0;
}

void ResponderTexto(httplib::Response& ARes, int AStatus, const char* ATexto) {
    ARes.status = AStatus;
    ARes.set_content(ATexto, "text/plain; charset=utf-8");
}

}  // namespace

TVozEdge& TVozEdge::Instancia() {
    auto& unica = Unica();
    if (!unica) {
        unica.reset(new TVozEdge());
    }
    return *unica;
}

void TVozEdge::Finalizar() {
    Unica().reset();
}

void TVozEdge::DefinirRelogio(TRelogio* ARelogio) {
    RelogioDefinido() = ARelogio;
}

std::uint32_t TVozEdge::Agora() const {
    static TRelogioSistema sistema;
    TRelogio* r = RelogioDefinido();
    return r != nullptr ? r->Tique() : sistema.Tique();
}

TVozEdge::TVozEdge() : FPagina(Recurso("VOZ")), FToken(NovoToken()) {}

TVozEdge::~TVozEdge() {
    FParando.store(true);
    FNovoComando.notify_all();
    if (FServidor) {
        FServidor->stop();
    }
    if (FEscuta.joinable()) {
        FEscuta.join();
    }
    FServidor.reset();
    FecharNavegador();
}

std::string TVozEdge::CaminhoEdge() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): main thread; the environment is not changed
    if (const char* definido = std::getenv("LJSN_EDGE")) {
        std::error_code erro;
        return std::filesystem::is_regular_file(definido, erro) ? std::string(definido)
                                                                : std::string();
    }
    static constexpr std::array<const char*, 7> kNomes = {"microsoft-edge",
                                                          "microsoft-edge-stable",
                                                          "google-chrome",
                                                          "google-chrome-stable",
                                                          "chromium",
                                                          "chromium-browser",
                                                          "chrome"};
    std::vector<std::string> pastas;
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (const char* caminho = std::getenv("PATH")) {
        pastas = Dividir(caminho, ":");
    }
    pastas.insert(pastas.end(), {"/usr/bin", "/usr/local/bin", "/snap/bin"});
    for (const char* nome : kNomes) {
        for (const auto& pasta : pastas) {
            if (!pasta.empty() && Executavel(pasta + "/" + nome)) {
                return pasta + "/" + nome;
            }
        }
    }
    for (const char* fixo : {"/opt/microsoft/msedge/msedge", "/opt/google/chrome/chrome"}) {
        if (Executavel(fixo)) {
            return fixo;
        }
    }
    return {};
}

std::string TVozEdge::NomeAtual(const std::string& ANome) {
    if (IguaisSemCaixaAZ(std::string_view(ANome).substr(0, 6), "Edge: ")) {
        return kPrefixo + ANome.substr(6);
    }
    return ANome;
}

bool TVozEdge::EhVozEdge(const std::string& ANome) {
    const std::string nome = NomeAtual(ANome);
    return IguaisSemCaixaAZ(std::string_view(nome).substr(0, kTamanhoPrefixo), kPrefixo);
}

std::vector<std::string> TVozEdge::VozesComPrefixo() {
    if (!Disponivel()) {
        return {};
    }
    // The bridge's list when it exists; this never creates it.
    std::vector<std::string> vozes = Unica() ? Unica()->Vozes() : std::vector<std::string>();
    if (vozes.empty()) {
        vozes.assign(kVozesPadrao.begin(), kVozesPadrao.end());
    }
    std::sort(vozes.begin(), vozes.end());
    for (auto& v : vozes) {
        v = kPrefixo + v;
    }
    return vozes;
}

std::string TVozEdge::NormalizarNomeVoz(const std::string& ANome) {
    std::string nome = MinusculasUtf8(Aparar(ANome));
    if (ComecaCom(nome, "microsoft ")) {
        nome = nome.substr(10);
    }
    nome = nome.substr(0, nome.find(' '));
    static constexpr std::array<std::pair<const char*, char>, 12> kAcentos = {{{"á", 'a'},
                                                                               {"à", 'a'},
                                                                               {"â", 'a'},
                                                                               {"ã", 'a'},
                                                                               {"é", 'e'},
                                                                               {"ê", 'e'},
                                                                               {"í", 'i'},
                                                                               {"ó", 'o'},
                                                                               {"ô", 'o'},
                                                                               {"õ", 'o'},
                                                                               {"ú", 'u'},
                                                                               {"ç", 'c'}}};
    for (const auto& [de, para] : kAcentos) {
        nome = SubstituirTudo(nome, de, std::string(1, para));
    }
    return nome;
}

std::string TVozEdge::VozEquivalente(const std::string& ANomeSapi) {
    const std::string chave = NormalizarNomeVoz(ANomeSapi);
    if (chave.empty()) {
        return {};
    }
    for (const auto& voz : VozesComPrefixo()) {
        const std::string nome = voz.substr(kTamanhoPrefixo);
        if (ComecaCom(chave, NormalizarNomeVoz(nome))) {
            return nome;
        }
    }
    return {};
}

bool TVozEdge::AbrirServidor() {
    if (FServidor) {
        return true;
    }
    for (int i = 0; i < kPortas; ++i) {
        auto servidor = std::make_unique<httplib::Server>();
        // Its own threads: a page's long polls never take the phones' ones.
        servidor->new_task_queue = [] { return new httplib::ThreadPool(8); };
        servidor->set_keep_alive_max_count(1);
        servidor->set_read_timeout(5, 0);
        servidor->set_write_timeout(5, 0);
        servidor->set_payload_max_length(kMaxCorpo);
        ResponderSemCompressao(*servidor);
        // Without SO_REUSEPORT, so a port another program holds reads as taken.
        servidor->set_socket_options([](int ASocket) {
            int sim = 1;
            ::setsockopt(ASocket, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
        });
        const auto tratar = [this](const httplib::Request& AReq, httplib::Response& ARes) {
            TratarPedido(AReq, ARes);
        };
        servidor->Get(".*", tratar);
        servidor->Post(".*", tratar);
        servidor->Put(".*", tratar);
        servidor->Patch(".*", tratar);
        servidor->Delete(".*", tratar);
        servidor->Options(".*", tratar);
        servidor->set_error_handler([](const httplib::Request&, httplib::Response& ARes) {
            ARes.set_header("Cache-Control", "no-store");
            if (ARes.body.empty()) {
                ResponderTexto(ARes, ARes.status, "Pedido recusado");
            }
        });
        const int porta = kPrimeiraPorta + i;
        if (!servidor->bind_to_port("127.0.0.1", porta)) {
            continue;
        }
        FServidor = std::move(servidor);
        FPorta = porta;
        FEscuta = std::thread([this] { FServidor->listen_after_bind(); });
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!FServidor->is_running() && std::chrono::steady_clock::now() < limite) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    GravarLog("VOZ NATURAL", "nenhuma porta livre para o servidor de voz");
    return false;
}

bool TVozEdge::ProcessoVivo() {
    if (FProcesso <= 0) {
        return false;
    }
    int estado = 0;
    if (::waitpid(FProcesso, &estado, WNOHANG) == 0) {
        return true;
    }
    // The browser's main process ended: whatever it left in its group goes too.
    ::kill(-FProcesso, SIGKILL);
    FProcesso = 0;
    return false;
}

bool TVozEdge::AbrirNavegador() {
    const std::string edge = CaminhoEdge();
    if (edge.empty()) {
        GravarLog("VOZ NATURAL", "componente de voz nao encontrado");
        return false;
    }
    const std::string perfil = PastaDados() + "VozNatural";
    std::error_code erro;
    std::filesystem::create_directories(perfil, erro);
    std::vector<std::string> args = {edge,
                                     "--headless=new",
                                     "--user-data-dir=" + perfil,
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-extensions",
                                     "--disable-sync",
                                     "--disable-gpu",
                                     "--disable-component-update",
                                     "--disable-background-networking",
                                     "--no-pings",
                                     "--autoplay-policy=no-user-gesture-required",
                                     "--disable-background-timer-throttling",
                                     "--disable-renderer-backgrounding",
                                     "--disable-backgrounding-occluded-windows",
                                     "--edge-skip-compat-layer-relaunch"};
    if (::geteuid() == 0) {
        args.emplace_back("--no-sandbox");  // the browser refuses to run as root otherwise
    }
    args.push_back(FormatarOuFormato("http://127.0.0.1:%d/?t=%s", FPorta, FToken));
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t pai = ::getpid();
    // Only async-signal-safe calls between fork and exec: this process has
    // threads.
    const pid_t pid = ::fork();
    if (pid < 0) {
        // NOLINTNEXTLINE(concurrency-mt-unsafe): main thread
        GravarLog(
            "VOZ NATURAL",
            std::string("nao foi possivel abrir o componente de voz: ") + std::strerror(errno));
        return false;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != pai) {
            ::_exit(1);  // the program died before the signal was armed
        }
        const int nulo = ::open("/dev/null", O_RDWR);
        if (nulo >= 0) {
            ::dup2(nulo, 0);
            ::dup2(nulo, 1);
            ::dup2(nulo, 2);
        }
        // No listening socket or file of ours may live on in the browser.
        ::close_range(3, ~0U, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    if (FProcesso > 0) {
        FecharNavegador();
    }
    FProcesso = pid;
    FAbertoEm = Agora();
    {
        std::lock_guard trava(FTrava);
        FPaginaAtiva.clear();
    }
    GravarLogFmt("VOZ NATURAL", "voz natural pronta (porta %d)", FPorta);
    return true;
}

void TVozEdge::FecharNavegador() {
    if (FProcesso <= 0) {
        return;
    }
    ::kill(-FProcesso, SIGKILL);
    ::waitpid(FProcesso, nullptr, 0);
    FProcesso = 0;
}

bool TVozEdge::Iniciar() {
    if (FPagina.empty() || !AbrirServidor()) {
        return false;
    }
    if (ProcessoVivo()) {
        bool silenciosa = false;
        {
            std::lock_guard trava(FTrava);
            const std::uint32_t agora = Agora();
            silenciosa = agora - FAbertoEm > kSilencioMs && agora - FUltimoContato > kSilencioMs;
        }
        if (!silenciosa) {
            return true;
        }
        GravarLog("VOZ NATURAL", "a voz natural parou de responder: reabrindo");
        FecharNavegador();
    }
    return AbrirNavegador();
}

void TVozEdge::Falar(
    const std::string& ATexto, const std::string& AVoz, int AVelocidade, int ATom, int AVolume) {
    {
        std::lock_guard trava(FTrava);
        ++FSeq;
        FAcao = "falar";
        FTexto = ATexto;
        FVoz = AVoz;
        FTaxa = std::pow(3.0, std::clamp(AVelocidade, -10, 10) / 10.0);
        FTom = std::clamp(ATom, -10, 10) / 20.0 + 1.0;
        FVolume = std::clamp(AVolume, 0, 100) / 100.0;
        FEstado = TEstadoVozEdge::evEsperando;
        FPedidoEm = Agora();
        FErro.clear();
        FVozUsada.clear();
    }
    FNovoComando.notify_all();
    if (!Iniciar()) {
        std::lock_guard trava(FTrava);
        FEstado = TEstadoVozEdge::evErro;
        FErro = Disponivel() ? "não foi possível abrir a voz natural"
                             : "componente de voz natural não encontrado";
    }
}

void TVozEdge::Cancelar() {
    {
        std::lock_guard trava(FTrava);
        if (FEstado != TEstadoVozEdge::evEsperando && FEstado != TEstadoVozEdge::evFalando) {
            return;
        }
        ++FSeq;
        FAcao = "cancelar";
        FEstado = TEstadoVozEdge::evParado;
    }
    FNovoComando.notify_all();
}

TEstadoVozEdge TVozEdge::Estado() {
    std::lock_guard trava(FTrava);
    const std::uint32_t agora = Agora();
    if (FEstado == TEstadoVozEdge::evEsperando && agora - FPedidoEm > kSemInicioMs) {
        FEstado = TEstadoVozEdge::evErro;
        FErro = "a voz natural não respondeu";
    } else if (FEstado == TEstadoVozEdge::evFalando &&
               agora - FFalandoDesde >
                   150 * static_cast<std::uint32_t>(ContarCaracteres(FTexto)) + 30000) {
        FEstado = TEstadoVozEdge::evErro;
        FErro = "a fala travou";
    }
    return FEstado;
}

bool TVozEdge::PaginaConectada() {
    std::lock_guard trava(FTrava);
    return !FPaginaAtiva.empty();
}

std::string TVozEdge::UltimoErro() {
    std::lock_guard trava(FTrava);
    return FErro;
}

std::string TVozEdge::VozUsada() {
    std::lock_guard trava(FTrava);
    return FVozUsada;
}

std::vector<std::string> TVozEdge::Vozes() {
    std::lock_guard trava(FTrava);
    return FVozes;
}

bool TVozEdge::SemVozesOnline() {
    std::lock_guard trava(FTrava);
    return FSemVozes;
}

void TVozEdge::TratarPedido(const httplib::Request& AReq, httplib::Response& ARes) {
    ARes.set_header("Cache-Control", "no-store");
    if (!IguaisEmTempoConstante(AReq.get_param_value("t"), FToken)) {
        ResponderTexto(ARes, 403, "Proibido");
        return;
    }
    // Only the page itself: a script of another site (even with the token)
    // is not let in.
    const std::string origem = AReq.get_header_value("Origin");
    if (!origem.empty() && origem != FormatarOuFormato("http://127.0.0.1:%d", FPorta)) {
        ResponderTexto(ARes, 403, "Proibido");
        return;
    }
    const std::string caminho = MinusculasAZ(AReq.path);
    if (caminho == "/") {
        ARes.status = 200;
        ARes.set_content(FPagina, "text/html; charset=utf-8");
        return;
    }
    if (caminho == "/cmd") {
        const int seq = LerInteiroOu(AReq.get_param_value("seq"), 0);
        ARes.status = 200;
        ARes.set_content(EsperarComando(seq, AReq.get_param_value("pagina")),
                         "application/json; charset=utf-8");
        return;
    }
    const std::string corpo = Utf8Valido(AReq.body) ? AReq.body : std::string();
    if (caminho == "/evento" || caminho == "/vozes") {
        if (caminho == "/evento") {
            ReceberEvento(corpo);
        } else {
            ReceberVozes(corpo);
        }
        ARes.status = 200;
        ARes.set_content("{}", "application/json; charset=utf-8");
        return;
    }
    ResponderTexto(ARes, 404, "Nao encontrado");
}

std::string TVozEdge::EsperarComando(int ASeqDaPagina, const std::string& APagina) {
    const auto limite = std::chrono::steady_clock::now() + kLongaEspera;
    std::unique_lock trava(FTrava);
    while (true) {
        const std::uint32_t agora = Agora();
        FUltimoContato = agora;
        if (!FPaginaAtiva.empty() && FPaginaAtiva != APagina &&
            agora - FContatoPagina <= kOutraPaginaMs) {
            trava.unlock();
            GravarLog("VOZ NATURAL", "pagina de voz repetida fechada (só uma fala por vez)");
            return R"({"fechar":true})";
        }
        FPaginaAtiva = APagina;
        FContatoPagina = agora;
        std::string resposta = MontarComando(trava, ASeqDaPagina);
        if (!resposta.empty()) {
            return resposta;
        }
        if (FParando.load() || std::chrono::steady_clock::now() >= limite) {
            break;
        }
        FNovoComando.wait_for(trava, std::chrono::milliseconds(20));
    }
    TJsonVoz nada;
    nada["seq"] = ASeqDaPagina;
    nada["acao"] = "";
    return nada.dump();
}

std::string TVozEdge::MontarComando(const std::unique_lock<std::mutex>& ATrava, int ASeqDaPagina) {
    (void)ATrava;
    if (ASeqDaPagina == FSeq) {
        return {};
    }
    TJsonVoz c;
    c["seq"] = FSeq;
    // A page that comes late never repeats a text already started or ended.
    c["acao"] = (FAcao == "falar" && FEstado != TEstadoVozEdge::evEsperando) ? "" : FAcao;
    if (FAcao == "falar") {
        c["texto"] = FTexto;
        c["voz"] = FVoz;
        c["taxa"] = FTaxa;
        c["tom"] = FTom;
        c["volume"] = FVolume;
    }
    return c.dump(-1, ' ', false, TJsonVoz::error_handler_t::replace);
}

void TVozEdge::ReceberEvento(const std::string& ACorpo) {
    const TJsonVoz evento = TJsonVoz::parse(ACorpo, nullptr, false);
    if (!evento.is_object()) {
        return;
    }
    const auto inteiro = [&](const char* AChave, int APadrao) {
        const auto it = evento.find(AChave);
        return (it != evento.end() && it->is_number_integer()) ? it->get<int>() : APadrao;
    };
    const auto texto = [&](const char* AChave, const char* APadrao) {
        const auto it = evento.find(AChave);
        return (it != evento.end() && it->is_string()) ? it->get<std::string>()
                                                       : std::string(APadrao);
    };
    const int seq = inteiro("seq", -1);
    const std::string tipo = texto("tipo", "");
    std::lock_guard trava(FTrava);
    if (seq != FSeq) {
        return;
    }
    const bool pendente =
        FEstado == TEstadoVozEdge::evEsperando || FEstado == TEstadoVozEdge::evFalando;
    if (tipo == "inicio" && FEstado == TEstadoVozEdge::evEsperando) {
        FEstado = TEstadoVozEdge::evFalando;
        FFalandoDesde = Agora();
        FVozUsada = texto("voz", "");
        FSemVozes = false;
    } else if (tipo == "fim" && pendente) {
        FEstado = TEstadoVozEdge::evTerminou;
    } else if (tipo == "erro" && pendente) {
        FEstado = TEstadoVozEdge::evErro;
        FErro = "voz natural: " + texto("erro", "erro");
        const auto semVozes = evento.find("semVozes");
        FSemVozes = semVozes != evento.end() && semVozes->is_boolean() && semVozes->get<bool>();
    }
}

void TVozEdge::ReceberVozes(const std::string& ACorpo) {
    const TJsonVoz lista = TJsonVoz::parse(ACorpo, nullptr, false);
    if (!lista.is_array()) {
        return;
    }
    std::vector<std::string> vozes;
    for (const auto& v : lista) {
        if (v.is_string() && !v.get<std::string>().empty()) {
            vozes.push_back(v.get<std::string>());
        }
    }
    std::lock_guard trava(FTrava);
    if (!vozes.empty()) {
        FSemVozes = false;
    }
    FVozes = std::move(vozes);
}

}  // namespace ljsn
