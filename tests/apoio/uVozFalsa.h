#pragma once

#include <memory>
#include <string>
#include <vector>

#include "apoio/uRelogioFalso.h"
#include "comum/uTexto.h"
#include "locutor/voz/uVozSapi.h"

namespace ljsn::teste {

// What the scripted voices do, shared by the factory and every voice it made:
// each text "speaks" for MsPorCaractere per character of fake time.
struct TRoteiroVoz {
    std::vector<TTokenVoz> Tokens = {
        {"Microsoft Maria - Portuguese (Brazil)", "416", "maria"},
        {"Microsoft Daniel - Portuguese (Brazil)", "416;409", "daniel"},
        {"Microsoft Zira - English (United States)", "409", "zira"},
    };
    bool Indisponivel = false;     // the factory cannot create a voice
    bool FalharFalar = false;      // Falar refuses every request
    long ResultadoAoTerminar = 0;  // LastHResult after a text ends
    int MsPorCaractere = 50;
    int MsFixos = -1;                  // when >= 0, every text lasts exactly this
    std::vector<std::string> Falados;  // every Falar request (XML as sent)
    std::vector<std::string> Vozes;    // the voice selected for each request
    int Paradas = 0;                   // purge requests
};

class TVozFalsa final : public IVozSapi {
  public:
    TVozFalsa(TRoteiroVoz& ARoteiro, TRelogioFalso& ARelogio)
        : FRoteiro(ARoteiro), FRelogio(ARelogio), FToken(ARoteiro.Tokens.front()) {}
    std::vector<TTokenVoz> ListarTokens() override { return FRoteiro.Tokens; }
    bool DefinirVoz(const TTokenVoz& AToken) override {
        FToken = AToken;
        return true;
    }
    std::string DescricaoVoz() override { return FToken.Descricao; }
    void DefinirTaxa(int ATaxa) override { Taxa = ATaxa; }
    void DefinirVolume(int AVolume) override { Volume = AVolume; }
    bool Falar(const std::string& ATexto, int AFlags) override {
        if ((AFlags & kFalaDescartar) != 0) {
            FFalando = false;
            ++FRoteiro.Paradas;
        }
        if (ATexto.empty()) {
            return true;
        }
        if (FRoteiro.FalharFalar) {
            return false;
        }
        FRoteiro.Falados.push_back(ATexto);
        FRoteiro.Vozes.push_back(FToken.Descricao);
        FFalando = true;
        FInicio = FRelogio.Tique();
        FDuracao = FRoteiro.MsFixos >= 0 ? static_cast<std::uint32_t>(FRoteiro.MsFixos)
                                         : static_cast<std::uint32_t>(ContarCaracteres(ATexto)) *
                                               static_cast<std::uint32_t>(FRoteiro.MsPorCaractere);
        FResultado = 0;
        return true;
    }
    bool Terminou() override {
        if (FFalando && FRelogio.Tique() - FInicio >= FDuracao) {
            FFalando = false;
            FResultado = FRoteiro.ResultadoAoTerminar;
        }
        return !FFalando;
    }
    long UltimoResultado() override { return FResultado; }

    int Taxa = 0;
    int Volume = 100;

  private:
    TRoteiroVoz& FRoteiro;
    TRelogioFalso& FRelogio;
    TTokenVoz FToken;
    bool FFalando = false;
    std::uint32_t FInicio = 0;
    std::uint32_t FDuracao = 0;
    long FResultado = 0;
};

class TFabricaVozFalsa final : public IFabricaVoz {
  public:
    explicit TFabricaVozFalsa(TRelogioFalso& ARelogio) : FRelogio(ARelogio) {}
    std::unique_ptr<IVozSapi> Criar() override {
        if (Roteiro.Indisponivel) {
            return nullptr;
        }
        return std::make_unique<TVozFalsa>(Roteiro, FRelogio);
    }
    TRoteiroVoz Roteiro;

  private:
    TRelogioFalso& FRelogio;
};

}  // namespace ljsn::teste
