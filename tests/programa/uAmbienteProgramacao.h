#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uRelogioFalso.h"
#include "apoio/uVozFalsa.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uTexto.h"
#include "programa/uDispositivoFalso.h"
#include "programa/uPrincipal.h"

namespace ljsn::teste {

// Records what the programme shows.
class TVisaoGravada : public IVisao {
  public:
    void MostrarRelogio(const std::string& AHora, const std::string& AData) override {
        Hora = AHora;
        Data = AData;
    }
    void MostrarErro(const std::string& AMensagem) override { Erros.push_back(AMensagem); }
    void MostrarTitulo(const std::string& ATitulo) override { Titulo = ATitulo; }
    void MostrarTipo(const std::string& ATexto, TCorVisao ACor) override {
        Tipo = ATexto;
        CorTipo = ACor;
    }
    void MostrarStatus(const std::array<std::string, 5>& ATextos) override { Status = ATextos; }
    void AtualizarLista() override { ++ListasAtualizadas; }
    void AbrirConfiguracoes() override { ++ConfiguracoesAbertas; }
    void MostrarLocutor(const std::string& ATexto, bool AAviso, const std::string&) override {
        Locutor = ATexto;
        AvisoLocutor = AAviso;
    }
    void MostrarOcupado(bool AOcupado) override { Ocupado.push_back(AOcupado); }
    std::string Hora, Data, Titulo, Tipo, Locutor;
    bool AvisoLocutor = false;
    TCorVisao CorTipo = TCorVisao::cvCinza;
    std::array<std::string, 5> Status;
    std::vector<std::string> Erros;
    std::vector<bool> Ocupado;
    int ListasAtualizadas = 0;
    int ConfiguracoesAbertas = 0;
};

// A programme on a data folder of its own, a fake clock and a device that
// plays by that clock. Folders of silent files stand in for music.
class TAmbienteProgramacao {
  public:
    TAmbienteProgramacao() {
        // No browser for the natural voices, whatever this machine has, and
        // nothing leaves the machine: the outside services refuse at once
        // unless a test points them at its own local server.
        ::setenv("LJSN_EDGE", (FPasta.Caminho() + "sem-navegador").c_str(), 1);
        ::setenv("LJSN_NOTICIAS_URL", "http://127.0.0.1:1/%s", 1);
        ::setenv("LJSN_CLIMA_URL", "http://127.0.0.1:1", 1);
        ::setenv("LJSN_CIDADES_URL", "http://127.0.0.1:1", 1);
        DefinirPastaDados(FPasta.Caminho() + "dados");
        DefinirHoraDoLog([this] { return Relogio.Agora(); });
    }
    ~TAmbienteProgramacao() {
        Programa.reset();
        DefinirHoraDoLog(nullptr);
        for (const char* v :
             {"LJSN_EDGE", "LJSN_NOTICIAS_URL", "LJSN_CLIMA_URL", "LJSN_CIDADES_URL"}) {
            ::unsetenv(v);
        }
    }
    std::string Pasta(const std::string& ANome) const { return FPasta / ANome; }
    // Silent files "NOME.ext" of AMs each in the folder.
    std::string CriarArquivos(const std::string& APasta,
                              const std::vector<std::string>& ANomes,
                              int AMs) {
        for (const auto& n : ANomes) {
            CriarWavSilencioso(Pasta(APasta) + "/" + n, AMs);
        }
        return Pasta(APasta);
    }
    // Edits the settings saved before the programme starts.
    void Configurar(const std::function<void(TConfiguracoes&)>& AEditar) {
        TConfiguracoes c;
        c.Carregar();
        AEditar(c);
        c.Salvar();
    }
    TPrograma& Criar(const std::vector<std::string>& AArgs = {}) {
        TOpcoesPrograma opcoes;
        opcoes.CaminhoExecutavel = "/teste/lojasonorante";
        opcoes.Linha = LerLinhaComando(AArgs);
        Construir(Dispositivo, Voz, std::move(opcoes));
        Fila.Drenar();
        return *Programa;
    }
    // The programme on another device or voice (the real engine), started,
    // with the queue run only as far as the folders' listing.
    TPrograma& Construir(IDispositivoMidia& ADispositivo,
                         IFabricaVoz& AVoz,
                         TOpcoesPrograma AOpcoes = {}) {
        Programa = std::make_unique<TPrograma>(
            Relogio, Fila, Visao, ADispositivo, AVoz, std::move(AOpcoes));
        Programa->Iniciar();
        EsperarListas();
        return *Programa;
    }
    // Runs queued calls one at a time until the folders' listing (done on a
    // worker) is in; a test fails when 20 s pass first.
    void EsperarListas(TPrograma* APrograma = nullptr) {
        TPrograma& p = APrograma != nullptr ? *APrograma : *Programa;
        const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (p.Listando()) {
            if (!Fila.ExecutarUma() && !Fila.EsperarAte(prazo)) {
                ADD_FAILURE() << "the folders' listing did not arrive";
                return;
            }
        }
    }
    // Runs queued calls until the durations reader has every music's length
    // (it reads jingles and advertisements first); a test fails when 20 s
    // pass first.
    void EsperarDuracoes() {
        const bool lidas = EsperarAte([this] {
            const auto& d = Programa->Duracoes();
            return std::none_of(d.begin(), d.end(), [](std::int32_t AMs) { return AMs < 0; });
        });
        EXPECT_TRUE(lidas) << "the durations reader did not finish";
    }
    // Runs the programme for AMs of fake time, one tick per 100 ms;
    // ADepoisDoTique (rendering, measuring) runs after each tick.
    void Avancar(int AMs, const std::function<void()>& ADepoisDoTique = {}) {
        for (int t = 0; t < AMs; t += 100) {
            Relogio.Avancar(100);
            Fila.Drenar();
            Programa->Tick();
            if (ADepoisDoTique) {
                ADepoisDoTique();
            }
        }
    }
    // Runs the queued calls until ACondicao holds; workers (downloads) post
    // their results there. False when 20 s pass first.
    bool EsperarAte(const std::function<bool()>& ACondicao) {
        const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ACondicao()) {
            if (!Fila.EsperarAte(prazo)) {
                return ACondicao();
            }
            Fila.Drenar();
        }
        return true;
    }
    // The display names of the files the device opened, in order.
    std::vector<std::string> Tocados() const {
        std::vector<std::string> r;
        for (const auto& a : Dispositivo.Abertos) {
            r.push_back(NomeExibicao(a));
        }
        return r;
    }
    std::string Log() const { return LerLogs(FPasta / "dados"); }
    std::vector<std::string> LinhasDoLog(const std::string& ACategoria) const {
        std::vector<std::string> r;
        const std::string marca = "[" + ACategoria + "]";
        for (const auto& linha : DividirLinhas(Log())) {
            const auto p = linha.find(marca);
            if (p != std::string::npos) {
                r.push_back(Aparar(linha.substr(p + marca.size())));
            }
        }
        return r;
    }

    TPastaTemporaria FPasta;
    TRelogioFalso Relogio{CodificarData(2026, 12, 9) + CodificarHora(10, 5, 30)};
    TFilaSimples Fila;
    TVisaoGravada Visao;
    TDispositivoFalso Dispositivo{Relogio};
    TFabricaVozFalsa Voz{Relogio};
    std::unique_ptr<TPrograma> Programa;
};

}  // namespace ljsn::teste
