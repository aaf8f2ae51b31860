// The phone page in a real browser, at phone size, against the real headless
// program: every check reads what the page shows and, where a click must
// reach the program, what the program wrote in its log.
//
// Usage: node celular.test.mjs [path/to/lojasonorante]
// Screenshots go to $LJSN_ARTEFATOS (default: tests/e2e/artefatos beside the binary).
// LJSN_PAGINA=file serves that file at "/" in place of the page built into the
// program, to try an edit of the page without rebuilding.
import { execFile, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';

const AQUI = path.dirname(fileURLToPath(import.meta.url));
const PIN = '123456';
// The page's poll interval, and how long it waits after a lockout reply.
const INTERVALO_PAGINA = 2000;
const ESPERA_BLOQUEIO_PAGINA = 60_000;
const CHROMIUM = process.env.LJSN_CHROMIUM || '/usr/bin/chromium';
const LIMITE_TOTAL_MS = 150_000;  // below the CTest timeout, so cleanup still runs
const UA_ANDROID =
  'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) ' +
  'Chrome/126.0.0.0 Mobile Safari/537.36';

const FAIXA_HOSTIL = '<img src=x onerror=alert(1)>';
const FAIXAS = ['Primeira Faixa', 'Segunda Faixa', FAIXA_HOSTIL];

// Colours of the palette, as the browser reports them.
const AZUL = 'rgb(47, 155, 255)';
const CINZA = 'rgb(159, 176, 201)';
const VERDE = 'rgb(61, 220, 132)';
const VERMELHO = 'rgb(255, 90, 110)';

class Falha extends Error {}

function verificar(condicao, mensagem) {
  if (!condicao) throw new Falha(mensagem);
}

const pausa = (ms) => new Promise((r) => setTimeout(r, ms));

// Polls a real condition until it holds; the failure names what was last seen.
async function esperar(descricao, obter, aceitar, limiteMs = 10_000) {
  const fim = Date.now() + limiteMs;
  for (;;) {
    const visto = await obter();
    if (aceitar(visto)) return visto;
    if (Date.now() > fim) {
      throw new Falha(`${descricao} (last seen: ${JSON.stringify(visto)})`);
    }
    await pausa(100);
  }
}

// ---------- The program ----------

function portaLivre() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.unref();
    s.on('error', reject);
    s.listen(0, '0.0.0.0', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

function gerarMusicas(pasta) {
  // One ffmpeg run writes all three files; arguments, not a shell, so the
  // hostile name needs no quoting.
  const args = ['-hide_banner', '-loglevel', 'error', '-y'];
  FAIXAS.forEach((_, i) => {
    args.push('-f', 'lavfi', '-i', `sine=frequency=${440 + 220 * i}:duration=60:sample_rate=22050`);
  });
  FAIXAS.forEach((nome, i) => {
    args.push('-map', String(i), '-ac', '1', '-c:a', 'libmp3lame', '-b:a', '32k',
      '-map_metadata', '-1', path.join(pasta, nome + '.mp3'));
  });
  return new Promise((resolve, reject) => {
    execFile('ffmpeg', args, (erro, _out, err) => {
      if (erro) reject(new Falha(`ffmpeg could not make the test music: ${err || erro.message}`));
      else resolve();
    });
  });
}

function escreverConfig(dados, musicas, porta) {
  const linhas = [
    '[Geral]',
    `PastaMusicas=${musicas}`,
    'PastaPropagandas=',
    'TransicaoSegundos=0',
    'TransicaoPadrao8=1',
    'VolumeAutomatico=0',
    'Aleatorio=0',
    'TocarAoIniciar=0',
    'Volume=80',
    '[Celular]',
    'Ativo=1',
    `Porta=${porta}`,
    `Pin=${PIN}`,
    '[Locutor]',
    'NomeEmpresa=Loja Teste',
    'Voz=Português (Brasil)',
    // No speech of its own at the turn of the minute to mix into the log.
    'HoraCerta=0',
    '',
  ];
  fs.writeFileSync(path.join(dados, 'config.ini'), linhas.join('\r\n'));
}

class Programa {
  constructor(binario, dados) {
    this.dados = dados;
    this.saida = [];
    this.erros = [];
    this.terminou = false;
    this.codigo = null;
    const ambiente = { ...process.env };
    delete ambiente.LJSN_RELOGIO;  // the real clock, whatever the caller's shell says
    // No browser for the natural voices: this test is about the phone page.
    ambiente.LJSN_EDGE = path.join(dados, 'sem-navegador');
    this.proc = spawn(binario, ['--sem-janela', '--dados', dados, '--driver-audio', 'dummy'], {
      stdio: ['ignore', 'pipe', 'pipe'],
      env: ambiente,
    });
    this.fim = new Promise((resolve) => {
      this.proc.on('exit', (codigo, sinal) => {
        this.terminou = true;
        this.codigo = codigo ?? sinal;
        resolve();
      });
      this.proc.on('error', (e) => {
        this.erros.push(String(e));
        this.terminou = true;
        resolve();
      });
    });
    readline.createInterface({ input: this.proc.stdout }).on('line', (l) => this.saida.push(l));
    readline.createInterface({ input: this.proc.stderr }).on('line', (l) => this.erros.push(l));
  }

  // The address line comes right after the start line, in the same flush.
  async esperarInicio() {
    const linha = await esperar(
      'the program printed its phone control line',
      () => (this.terminou ? 'exited' : this.saida.find((l) => l.startsWith('Controle pelo celular:'))),
      (l) => l !== undefined,
      20_000,
    ).catch((e) => {
      throw new Falha(`${e.message}\nstdout: ${this.saida.join('\n')}\nstderr: ${this.erros.join('\n')}`);
    });
    verificar(linha !== 'exited',
      `the program exited (${this.codigo}) before starting\nstderr: ${this.erros.join('\n')}`);
    verificar(this.saida.some((l) => l.includes('rodando sem janela')),
      `no start line: ${this.saida.join(' | ')}`);
    return linha;
  }

  // Ends the program; true when SIGTERM alone did it.
  async parar() {
    if (this.terminou) return true;
    this.proc.kill('SIGTERM');
    let relogio;
    const aTempo = await Promise.race([
      this.fim.then(() => true),
      new Promise((r) => { relogio = setTimeout(() => r(false), 10_000); }),
    ]);
    clearTimeout(relogio);
    if (!aTempo) {
      this.proc.kill('SIGKILL');
      await this.fim;
    }
    return aTempo;
  }

  // All log files as bytes, so that marks stay exact even mid-character.
  logBytes() {
    const pasta = path.join(this.dados, 'Logs');
    let nomes;
    try {
      nomes = fs.readdirSync(pasta).filter((n) => n.endsWith('.log')).sort();
    } catch {
      return Buffer.alloc(0);
    }
    return Buffer.concat(nomes.map((n) => fs.readFileSync(path.join(pasta, n))));
  }

  log(desde = 0) {
    return this.logBytes().subarray(desde).toString('utf8');
  }
}

async function iniciarPrograma(binario, dados, musicas) {
  // A free port may be taken between the probe and the program's bind: retry.
  for (let tentativa = 1; ; tentativa++) {
    const porta = await portaLivre();
    escreverConfig(dados, musicas, porta);
    const programa = new Programa(binario, dados);
    const linha = await programa.esperarInicio().catch(async (e) => {
      await programa.parar();
      throw e;
    });
    if (linha.includes(`http://`) && linha.includes(`(PIN ${PIN})`)) {
      return { programa, base: `http://127.0.0.1:${porta}` };
    }
    await programa.parar();
    verificar(tentativa < 3, `the control server did not start: ${linha}`);
  }
}

// ---------- The run ----------

const binario = path.resolve(process.argv[2] || process.env.LJSN_BINARIO ||
  path.join(AQUI, '..', '..', 'build', 'lojasonorante'));
const artefatos = path.resolve(process.env.LJSN_ARTEFATOS ||
  path.join(path.dirname(binario), 'tests', 'e2e', 'artefatos'));

let programa = null;
let contexto = null;
let temp = null;
let encerrando = null;
const inicio = Date.now();

async function encerrar() {
  if (encerrando) return encerrando;
  encerrando = (async () => {
    const problemas = [];
    if (contexto) {
      await contexto.close().catch((e) => problemas.push(`closing the browser: ${e.message}`));
    }
    if (programa && !(await programa.parar())) {
      problemas.push('the program did not end within 10 s of SIGTERM and was killed');
    } else if (programa && programa.codigo !== 0) {
      problemas.push(`the program ended with ${programa.codigo} after SIGTERM`);
    }
    if (temp) fs.rmSync(temp, { recursive: true, force: true });
    return problemas;
  })();
  return encerrando;
}

for (const sinal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.on(sinal, async () => {
    console.error(`interrupted by ${sinal}; cleaning up`);
    await encerrar();
    process.exit(1);
  });
}
process.on('unhandledRejection', async (e) => {
  console.error(`unexpected rejection: ${e?.stack || e}`);
  await encerrar();
  process.exit(1);
});
const vigia = setTimeout(async () => {
  console.error(`not done after ${LIMITE_TOTAL_MS / 1000} s; giving up`);
  await encerrar();
  process.exit(1);
}, LIMITE_TOTAL_MS);

let numero = 0;
let passoAtual = 'setting up';
async function passo(nome, corpo) {
  numero += 1;
  passoAtual = `${numero} - ${nome}`;
  const t0 = Date.now();
  await corpo();
  console.log(`ok ${numero} - ${nome} (${Date.now() - t0} ms)`);
}

async function principal() {
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch {
    throw new Falha(`playwright-core is not installed: run "npm ci" in ${AQUI}`);
  }
  verificar(fs.existsSync(binario), `program not found: ${binario} (pass its path as the first argument)`);
  verificar(fs.existsSync(CHROMIUM), `browser not found: ${CHROMIUM}`);
  fs.mkdirSync(artefatos, { recursive: true });

  temp = fs.mkdtempSync(path.join(os.tmpdir(), 'ljsn-celular-'));
  const dados = path.join(temp, 'dados');
  const musicas = path.join(temp, 'musicas');
  fs.mkdirSync(dados);
  fs.mkdirSync(musicas);
  await gerarMusicas(musicas);
  const iniciado = await iniciarPrograma(binario, dados, musicas);
  programa = iniciado.programa;
  const base = iniciado.base;

  contexto = await chromium.launchPersistentContext(path.join(temp, 'perfil'), {
    executablePath: CHROMIUM,
    headless: true,
    // Signals are ours to handle: the program must be stopped too, not only the browser.
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
    args: ['--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 412, height: 915 },
    deviceScaleFactor: 2,
    isMobile: true,
    hasTouch: true,
    userAgent: UA_ANDROID,
    locale: 'pt-BR',
  });
  contexto.setDefaultTimeout(10_000);
  if (process.env.LJSN_PAGINA) {
    const pagina = fs.readFileSync(process.env.LJSN_PAGINA);
    await contexto.route((url) => url.pathname === '/', (rota) =>
      rota.fulfill({ status: 200, contentType: 'text/html; charset=utf-8', body: pagina }));
  }
  const page = contexto.pages()[0] || (await contexto.newPage());

  const dialogos = [];
  const errosPagina = [];
  const comandos = [];  // "acao" of every command the page sent, in order
  page.on('dialog', (d) => { dialogos.push(d.message()); d.dismiss().catch(() => {}); });
  page.on('pageerror', (e) => errosPagina.push(String(e)));
  page.on('request', (r) => {
    if (r.url().endsWith('/api/comando')) {
      try { comandos.push(JSON.parse(r.postData() || '{}').acao); } catch { comandos.push('?'); }
    }
  });

  const texto = (seletor) => page.locator(seletor).textContent();
  const cor = (seletor) => page.locator(seletor).evaluate((el) => getComputedStyle(el).color);
  const visivel = (seletor) => page.locator(seletor).isVisible();
  const guardado = () => page.evaluate(() => localStorage.getItem('ljsn-pin'));
  const foto = (nome) => page.screenshot({ path: path.join(artefatos, nome) });
  const esperarTexto = (seletor, esperado, limiteMs) =>
    esperar(`${seletor} should read ${JSON.stringify(esperado)}`, () => texto(seletor),
      (t) => t === esperado, limiteMs);
  const segundos = (t) => {
    const m = /^(\d+):(\d\d)$/.exec(t || '');
    return m ? Number(m[1]) * 60 + Number(m[2]) : NaN;
  };

  // The log grows all run; each check reads only what came after its mark.
  const marcar = () => programa.logBytes().length;
  const esperarLog = (descricao, regex, marca, limiteMs = 10_000) =>
    esperar(`log: ${descricao}`, () => programa.log(marca), (t) => regex.test(t), limiteMs)
      .then((t) => regex.exec(t));
  const comando = (acao) => new RegExp(`\\[COMANDO\\]\\s+celular/controles rapidos: ${acao}\\r?\\n`);
  const fala = (t) => new RegExp(`\\[LOCUTOR\\]\\s+fala \\(volume \\d+%\\): ${t.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}\\r?\\n`);
  const contar = (regex, t) => (t.match(new RegExp(regex.source, 'g')) || []).length;

  // What the program itself reports, asked from here rather than the page.
  const estadoDoPrograma = async () => {
    const r = await fetch(`${base}/api/estado`, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', 'X-Pin': PIN },
      body: '{}',
    });
    verificar(r.status === 200, `/api/estado answered ${r.status}`);
    return r.json();
  };

  // Clicks a command button and waits until the program answered it.
  // The wait is armed before the click and handled at once, so that a
  // browser closing under it cannot leave a rejection nobody listens to.
  const respostaComando = (predicado, falha) => page.waitForResponse(predicado).then(
    (r) => r, () => { throw new Falha(falha()); });
  const clicarComando = async (seletor, acao) => {
    const resposta = respostaComando((r) => r.url().endsWith('/api/comando') &&
      JSON.parse(r.request().postData() || '{}').acao === acao,
    () => `${seletor} sent no "${acao}" command that got an answer (commands sent: ${JSON.stringify(comandos)})`);
    resposta.catch(() => {});
    await page.locator(seletor).click();
    return resposta;
  };

  const escolherModelo = async (rotulo) => {
    const rotulos = await page.locator('#chamadas-lista option').allTextContents();
    verificar(rotulos.includes(rotulo), `no call model reads ${JSON.stringify(rotulo)}: ${JSON.stringify(rotulos)}`);
    await page.locator('#chamadas-lista').selectOption({ label: rotulo });
  };

  let hostilVisto = false;
  // Shown as text: no dialog, no injected element, the name exactly.
  const conferirHostil = async () => {
    if ((await texto('#faixa')) !== FAIXA_HOSTIL) return;
    hostilVisto = true;
    verificar(await page.locator('#faixa').evaluate((el) => el.children.length === 0),
      'the hostile track name created elements inside the title');
    verificar(await page.locator('img[src="x"]').count() === 0,
      'the hostile track name became an <img> element on the page');
    verificar(dialogos.length === 0, `a dialog fired: ${dialogos.join(' | ')}`);
  };

  // Each track's name as the log reports it starting to play.
  const faixaTocando = async (n, marca) =>
    (await esperarLog(`track ${n}/3 starts`, new RegExp(`\\[TOCANDO\\]\\s+musica ${n}/3: (.+)\\.mp3`), marca))[1];

  await passo('PIN screen: a wrong PIN is refused, the right one enters', async () => {
    await page.goto(base + '/');
    verificar(await page.title() === 'Loja Sonorante · Controle', `title is ${await page.title()}`);
    verificar(await visivel('#pin-tela'), 'the PIN screen is not shown at first');
    verificar(!(await visivel('#principal')), 'the main screen is shown before any PIN');
    const paragrafo = await page.locator('#pin-tela p').innerHTML();
    verificar(paragrafo === 'Digite o PIN que aparece no programa, em <b>Configurações › Celular</b>.',
      `PIN prompt reads ${paragrafo}`);
    const entrada = page.locator('#pin-entrada');
    verificar(await entrada.getAttribute('placeholder') === '••••••', 'PIN placeholder');
    verificar(await entrada.getAttribute('maxlength') === '6', 'PIN input takes at most 6 characters');
    verificar(await texto('#pin-entrar') === 'Entrar', 'button "Entrar"');

    await entrada.fill('000000');
    await page.locator('#pin-entrar').click();
    await esperarTexto('#pin-erro', 'PIN incorreto.');
    verificar(!(await visivel('#principal')), 'a wrong PIN opened the main screen');
    verificar(!(await guardado()), 'a wrong PIN was kept in storage');
    await foto('pin.png');

    // The right PIN, typed and sent with the Enter key, opens the main screen and is kept.
    await entrada.fill(PIN);
    await entrada.press('Enter');
    await page.locator('#principal').waitFor({ state: 'visible' });
    verificar(!(await visivel('#pin-tela')), 'the PIN screen stays after the right PIN');
    verificar(await guardado() === PIN, 'the typed PIN was not stored');
  });

  await passo('the QR address logs in and drops the PIN from the address', async () => {
    // Forget the typed PIN, so that only the address can log in.
    await page.evaluate(() => localStorage.clear());
    await page.goto('about:blank');
    await page.goto(`${base}/#pin=${PIN}`);
    await page.locator('#principal').waitFor({ state: 'visible' });
    verificar(!(await visivel('#pin-tela')), 'the PIN screen is still shown');
    verificar(page.url() === base + '/', `the address still holds the fragment: ${page.url()}`);
    verificar(await page.evaluate(() => location.hash) === '', 'location.hash is not empty');
    verificar(await guardado() === PIN, 'the PIN from the address was not stored');
    await esperarTexto('#tipo', '● PARADO');
    verificar(await texto('#faixa') === 'Nada tocando', 'stopped title');
    verificar(await texto('#volume-valor') === '80%', `volume shows ${await texto('#volume-valor')}`);
    verificar(await page.locator('#status-ponto').getAttribute('class') === 'ok', 'status dot is not green');
    // The full first reply brought the call models.
    verificar(await page.locator('#chamadas-lista option').count() > 0, 'no call models listed');
    // An Android phone sees the install banner with the Android steps only.
    verificar(await visivel('#instalar-banner'), 'install banner not shown');
    verificar(await page.locator('#passos-iphone').evaluate((el) => el.hidden), 'iPhone steps on Android');
    verificar(!(await page.locator('#passos-android').evaluate((el) => el.hidden)), 'Android steps missing');
  });

  let primeira;
  await passo('play: type line, title, position moving', async () => {
    const marca = marcar();
    await clicarComando('#btn-tocar', 'tocar');
    await esperarLog('tocar arrived', comando('tocar'), marca);
    primeira = await faixaTocando(1, marca);
    verificar(FAIXAS.includes(primeira), `unexpected first track ${primeira}`);
    await esperarTexto('#btn-tocar', '⏸ Pausar');
    await esperarTexto('#tipo', '● TOCANDO AGORA');
    verificar(await cor('#tipo') === AZUL, `music type line is ${await cor('#tipo')}, not blue`);
    await esperarTexto('#faixa', primeira);
    await conferirHostil();
    // Two polls later the position has moved on and the duration is known.
    const p1 = await esperar('position reaches 0:01', () => texto('#posicao'), (t) => segundos(t) >= 1);
    await esperar(`position moves past ${p1}`, () => texto('#posicao'), (t) => segundos(t) > segundos(p1));
    verificar(await texto('#duracao') === '1:00', `duration shows ${await texto('#duracao')}`);
    const largura = await page.locator('#progresso').evaluate((el) => parseFloat(el.style.width));
    verificar(largura > 0 && largura < 100, `progress bar width ${largura}%`);
    await foto('principal.png');
  });

  await passo('pause and resume keep the track', async () => {
    let marca = marcar();
    await clicarComando('#btn-tocar', 'pausar');
    await esperarLog('pausar arrived', comando('pausar'), marca);
    await esperarTexto('#btn-tocar', '▶ Tocar');
    await esperarTexto('#tipo', '● PAUSADO');
    verificar(await cor('#tipo') === CINZA, `paused type line is ${await cor('#tipo')}, not grey`);
    verificar(await texto('#faixa') === primeira, 'the title changed on pause');

    marca = marcar();
    await clicarComando('#btn-tocar', 'tocar');
    await esperarLog('tocar arrived', comando('tocar'), marca);
    await esperarTexto('#btn-tocar', '⏸ Pausar');
    await esperarTexto('#tipo', '● TOCANDO AGORA');
    verificar(await texto('#faixa') === primeira, 'resuming changed the track');
    // The new track would have been logged before the reply came back.
    verificar(!/\[TOCANDO\]/.test(programa.log(marca)), 'resuming started another track');
  });

  await passo('next changes the title, stop shows PARADO', async () => {
    let marca = marcar();
    await clicarComando('#btn-proxima', 'proxima');
    await esperarLog('proxima arrived', comando('proxima'), marca);
    const segunda = await faixaTocando(2, marca);
    verificar(segunda !== primeira, 'next played the same track');
    await esperarTexto('#faixa', segunda);
    await conferirHostil();
    verificar(await texto('#btn-tocar') === '⏸ Pausar', 'play button after next');

    marca = marcar();
    await clicarComando('#btn-parar', 'parar');
    await esperarLog('parar arrived', comando('parar'), marca);
    await esperarTexto('#tipo', '● PARADO');
    await esperarTexto('#faixa', 'Nada tocando');
    await esperarTexto('#btn-tocar', '▶ Tocar');
    verificar(await texto('#posicao') === '0:00', `position after stop: ${await texto('#posicao')}`);
    verificar(!(await visivel('#info')), 'info line shown while stopped');
  });

  await passo('volume slider: follows the finger, the poll leaves it alone, release sets it', async () => {
    const slider = page.locator('#volume');
    await slider.scrollIntoViewIfNeeded();
    const caixa = await slider.boundingBox();
    const y = caixa.y + caixa.height / 2;
    // The thumb (28 px) travels between the track's ends less half its width.
    const xDe = (v) => caixa.x + 14 + ((caixa.width - 28) * v) / 100;
    const marca = marcar();
    await page.mouse.move(xDe(80), y);
    await page.mouse.down();
    let x = xDe(35);
    await page.mouse.move(x, y, { steps: 6 });
    // Land exactly on 35: nudge by the pixel width of one step.
    for (let i = 0; i < 6 && Number(await slider.inputValue()) !== 35; i++) {
      x += ((35 - Number(await slider.inputValue())) * (caixa.width - 28)) / 100;
      await page.mouse.move(x, y);
    }
    verificar(await slider.inputValue() === '35', `slider at ${await slider.inputValue()} while dragging`);
    verificar(await texto('#volume-valor') === '35%', 'value text does not follow the drag');
    // A poll that lands while the finger is down must not pull the slider back to 80.
    await page.waitForResponse((r) => r.url().endsWith('/api/estado'), { timeout: 6000 })
      .catch(() => { throw new Falha('no poll within 6 s while the finger was down'); });
    verificar(await slider.inputValue() === '35', `a poll moved the slider under the finger to ${await slider.inputValue()}`);
    verificar(await texto('#volume-valor') === '35%', 'a poll moved the value text under the finger');

    const resposta = respostaComando((r) => r.url().endsWith('/api/comando'),
      () => 'releasing the slider sent no command');
    resposta.catch(() => {});
    await page.mouse.up();
    await resposta;
    await esperarLog('volume arrived', comando('volume'), marca);
    const estado = await estadoDoPrograma();
    verificar(estado.volume === 35, `the program reports volume ${estado.volume}`);
  });

  const FALA = 'Atenção, equipe: teste do controle pelo celular.';
  await passo('"Falar" sends the text to the announcer; an empty text sends nothing', async () => {
    const marca = marcar();
    const caixaTexto = page.locator('#falar-texto');
    await caixaTexto.scrollIntoViewIfNeeded();
    await caixaTexto.fill('  ' + FALA + '  ');
    await clicarComando('#btn-falar', 'falar');
    await esperarTexto('#aviso', 'Enviado ao locutor.');
    verificar(await cor('#aviso') === VERDE, `success notice is ${await cor('#aviso')}, not green`);
    await esperar('the text box empties after sending', () => caixaTexto.inputValue(), (v) => v === '');
    await esperarLog('falar arrived', comando('falar'), marca);
    await esperarLog('the text is spoken', fala(FALA), marca, 20_000);

    // Blank text: the click must send nothing. The next command's request
    // proves the page has handled the first click by then.
    await caixaTexto.fill('   ');
    const antes = comandos.length;
    await page.locator('#btn-falar').click();
    await clicarComando('#btn-horacerta', 'horacerta');
    verificar(JSON.stringify(comandos.slice(antes)) === '["horacerta"]',
      `commands sent: ${JSON.stringify(comandos.slice(antes))}`);
    await esperarTexto('#aviso', 'Hora certa enviada ao locutor.');
    await esperarLog('horacerta arrived', comando('horacerta'), marca);
    verificar(contar(comando('falar'), programa.log(marca)) === 1,
      'a blank text reached the program');
  });

  await passo('quick call with fields, and a call with a field missing', async () => {
    await page.locator('#chamadas-lista').scrollIntoViewIfNeeded();
    const ids = () => page.locator('#chamadas-campos input').evaluateAll((l) => l.map((i) => i.id));
    const rotulos = () => page.locator('#chamadas-campos label').allTextContents();

    await escolherModelo('Gerente, por favor, comparecer ao caixa (nº).');
    verificar(JSON.stringify(await ids()) === '["caixa"]', `fields for {caixa}: ${await ids()}`);
    verificar(await page.locator('#caixa').inputValue() === '1', 'caixa does not start at 1');

    await escolherModelo('(nome), por favor, comparecer ao setor (setor).');
    verificar(JSON.stringify(await ids()) === '["nome","setor"]', `fields for {nome} {setor}: ${await ids()}`);
    verificar(JSON.stringify(await rotulos()) === '["Nome","Setor"]', `labels: ${await rotulos()}`);
    await page.locator('#nome').fill('Maria');
    await page.locator('#setor').fill('Hortifrúti');
    await page.locator('#chamada-repetir').check();
    const marca = marcar();
    await clicarComando('#btn-chamada', 'chamada');
    await esperarTexto('#aviso', 'Chamada enviada ao locutor.');
    verificar(await cor('#aviso') === VERDE, 'call notice is not green');
    await page.locator('#btn-chamada').scrollIntoViewIfNeeded();
    await foto('chamada.png');
    await esperarLog('chamada arrived', comando('chamada'), marca);
    // While it is spoken (twice, some seconds), the poll shows it on the announcer line.
    await esperarTexto('#locutor', '🎙 Maria, por favor, comparecer ao setor Hortifrúti.', 30_000);
    // "Repetir" speaks the call twice.
    const chamada = fala('Maria, por favor, comparecer ao setor Hortifrúti.');
    await esperar('log: the call is spoken twice', () => programa.log(marca),
      (t) => contar(chamada, t) === 2, 30_000);

    await escolherModelo('(nome), por favor, comparecer à frente de loja.');
    verificar(await page.locator('#nome').inputValue() === '', 'the new model kept the old name');
    const marca2 = marcar();
    await clicarComando('#btn-chamada', 'chamada');
    await esperarTexto('#aviso', 'Preencha: nome.');
    verificar(await cor('#aviso') === VERMELHO, `error notice is ${await cor('#aviso')}, not red`);
    await foto('chamada-erro.png');
    await esperarLog('the refused call arrived', comando('chamada'), marca2);
  });

  await passo('"Calar o locutor" shows only while the announcer speaks; a click silences it', async () => {
    // What the last step left on air ends first: no button while nothing is said.
    await esperar('the announcer is idle', () => estadoDoPrograma(), (e) => e.locutor === '', 30_000);
    await esperar('no "Calar" button while nothing is said', () => visivel('#btn-calar'), (v) => !v);
    const ERRADO = 'Aviso errado: ' + 'a loja fecha mais cedo hoje, '.repeat(12).trim();
    const NA_FILA = 'Este texto esperava na fila.';
    const DEPOIS = 'Texto depois de calar.';
    const marca = marcar();
    const caixaTexto = page.locator('#falar-texto');
    await caixaTexto.scrollIntoViewIfNeeded();
    for (const t of [ERRADO, NA_FILA]) {
      await caixaTexto.fill(t);
      await clicarComando('#btn-falar', 'falar');
      await esperar('the text box empties after sending', () => caixaTexto.inputValue(), (v) => v === '');
    }
    await page.locator('#btn-calar').waitFor({ state: 'visible', timeout: 20_000 });
    verificar(await texto('#btn-calar') === '🔇 Calar o locutor', `button reads ${await texto('#btn-calar')}`);
    verificar(await texto('#locutor') === '🎙 ' + ERRADO, `announcer line reads ${await texto('#locutor')}`);
    await page.locator('#btn-calar').scrollIntoViewIfNeeded();
    await foto('calar.png');

    await clicarComando('#btn-calar', 'calar');
    await esperarLog('calar arrived', comando('calar'), marca);
    await esperarTexto('#aviso', 'Locutor calado.');
    verificar(!(await visivel('#btn-calar')), 'the button stays after the announcer was silenced');
    verificar(await texto('#locutor') === '', `announcer line still reads ${await texto('#locutor')}`);
    verificar((await estadoDoPrograma()).locutor === '', 'the program still reports a text on air');

    // The text that waited was dropped: the next one is said, and nothing before it.
    await caixaTexto.fill(DEPOIS);
    await clicarComando('#btn-falar', 'falar');
    await esperarLog('the next text is spoken', fala(DEPOIS), marca, 20_000);
    verificar(contar(fala(NA_FILA), programa.log(marca)) === 0, 'the waiting text was spoken after "calar"');
  });

  await passo('a reload enters with the stored PIN; a dismissed banner stays hidden', async () => {
    await page.locator('#instalar-fechar').click();
    verificar(!(await visivel('#instalar-banner')), 'banner still shown after ✕');
    await page.reload();
    await page.locator('#principal').waitFor({ state: 'visible' });
    verificar(!(await visivel('#pin-tela')), 'the stored PIN did not log in');
    verificar(!(await visivel('#instalar-banner')), 'the dismissed banner came back');
    await esperarTexto('#volume-valor', '35%');
    await page.screenshot({ path: path.join(artefatos, 'principal-inteira.png'), fullPage: true });
  });

  // Last but one: the program keeps this address locked out for a real minute.
  await passo('ten wrong PINs lock out this address: the page keeps its PIN and asks again after the minute', async () => {
    const MENSAGEM = 'Muitas tentativas. Aguarde um minuto.';
    let pedidos = 0;
    let emCurso = 0;
    const eEstado = (r) => r.url().endsWith('/api/estado');
    page.on('request', (r) => { if (eEstado(r)) { pedidos += 1; emCurso += 1; } });
    const terminou = (r) => { if (eEstado(r)) emCurso -= 1; };
    page.on('requestfinished', terminou);
    page.on('requestfailed', terminou);
    const proximoEstado = (quando) => {
      const r = respostaComando(eEstado, () => `the page sent no poll ${quando}`);
      r.catch(() => {});  // awaited later; a failure before that must not go unheard
      return r;
    };

    // The page's own clock: "a minute later" then takes no real minute.
    await page.clock.install();
    await page.reload();
    await page.locator('#principal').waitFor({ state: 'visible' });
    await esperarTexto('#volume-valor', '35%');
    // No poll may come between the wrong tries: a right PIN from this address resets its count.
    await page.clock.pauseAt(await page.evaluate(() => Date.now() + 100));
    await esperar('no poll in flight', () => emCurso, (n) => n === 0);

    const marca = marcar();
    for (let i = 1; i <= 10; i++) {
      const r = await fetch(`${base}/api/estado`, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json', 'X-Pin': '000000' },
        body: '{}',
      });
      await r.arrayBuffer();
      verificar(r.status === 403, `wrong PIN ${i} answered ${r.status}`);
    }
    await esperarLog('the lockout is logged with the address',
      /\[CELULAR\]\s+10 PINs errados seguidos de 127\.0\.0\.1: bloqueado por um minuto\r?\n/, marca);

    let resposta = proximoEstado('after the lockout');
    await page.clock.runFor(INTERVALO_PAGINA + 100);
    verificar((await resposta).status() === 429, 'the poll was not answered 429');
    await esperarTexto('#aviso', MENSAGEM);
    verificar(await visivel('#principal') && !(await visivel('#pin-tela')),
      'a lockout sent the page back to the PIN screen');
    verificar(await guardado() === PIN, 'a lockout made the page forget its PIN');
    verificar(await page.locator('#status-ponto').getAttribute('class') === 'falha', 'status dot is not red');
    await foto('bloqueio.png');

    // Silent for the minute, then one poll (refused again: the program's minute is a real one).
    const antes = pedidos;
    await page.clock.runFor(55_000);
    resposta = proximoEstado('once the minute was over');
    await page.clock.runFor(ESPERA_BLOQUEIO_PAGINA - 55_000 + INTERVALO_PAGINA + 100);
    verificar((await resposta).status() === 429, 'the poll after the minute was not answered 429');
    verificar(pedidos === antes + 1, `${pedidos - antes} polls within the minute after the lockout, not 1`);
    verificar(await visivel('#principal'), 'the main screen went away');
    verificar(await guardado() === PIN, 'the PIN was forgotten after the second lockout reply');

    // Opened anew while locked out: the PIN screen says why, keeps the PIN
    // typed in, and enters by itself once the minute is over.
    resposta = proximoEstado('when opened anew');
    await page.reload();
    verificar((await resposta).status() === 429, 'entering while locked out was not answered 429');
    await esperarTexto('#pin-erro', MENSAGEM);
    verificar(await page.locator('#pin-entrada').inputValue() === PIN, 'the PIN left the input');
    verificar(await guardado() === PIN, 'entering while locked out forgot the PIN');
    const antesDeEntrar = pedidos;
    resposta = proximoEstado('to enter once the minute was over');
    await page.clock.runFor(ESPERA_BLOQUEIO_PAGINA + 1000);
    verificar((await resposta).status() === 429, 'no new try after the minute');
    verificar(pedidos === antesDeEntrar + 1, `${pedidos - antesDeEntrar} tries within the minute, not 1`);
  });

  await passo('no script errors, no dialogs, the hostile name was shown', async () => {
    verificar(hostilVisto, 'the hostile track name was never on screen');
    verificar(dialogos.length === 0, `dialogs fired: ${dialogos.join(' | ')}`);
    verificar(errosPagina.length === 0, `page errors: ${errosPagina.join(' | ')}`);
  });
}

let falhou = false;
try {
  await principal();
} catch (e) {
  falhou = true;
  console.error(`FAIL (${passoAtual}): ${e instanceof Falha ? e.message : e.stack}`);
  if (programa?.terminou) {
    console.error(`the program had exited (${programa.codigo}): ${programa.erros.join('\n')}`);
  }
  // Leave what the run saw for whoever reads the failure.
  try {
    const pagina = contexto?.pages()[0];
    if (pagina) await pagina.screenshot({ path: path.join(artefatos, 'falha.png') });
    if (programa) fs.writeFileSync(path.join(artefatos, 'falha-programa.log'), programa.log());
  } catch { /* best effort */ }
}
const problemas = await encerrar();
clearTimeout(vigia);
for (const p of problemas) console.error(`FAIL: ${p}`);
const total = ((Date.now() - inicio) / 1000).toFixed(1);
if (falhou || problemas.length) {
  console.error(`celular: FAILED after ${total} s` +
    (fs.existsSync(artefatos) ? ` (artifacts in ${artefatos})` : ''));
  process.exit(1);
}
console.log(`celular: all ${numero} checks passed in ${total} s (screenshots in ${artefatos})`);
