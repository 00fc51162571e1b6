// The page around a program of the engine: loading bar, "click to start"
// (browsers start sound only after a gesture), whole-factor scaling of the
// 800 x 600 canvas, full screen, and storage. The program's files live in
// the page's virtual file system under /kr/ (marked as installed, so that
// settings and screenshots go to the player's data folder), and that data
// folder is kept in the browser's IndexedDB between visits.
'use strict';

(function () {
  const program = document.body.dataset.program;
  const dataRoot = '/home/web_user/.local/share';
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');
  const progress = document.getElementById('progress');
  const loading = document.getElementById('loading');
  const start = document.getElementById('start');
  const fullscreenButton = document.getElementById('fullscreen');
  const screenshotButton = document.getElementById('screenshot');
  const stage = document.getElementById('stage');

  // What the tests read: the state of the page and the console's errors.
  const page = (window.krPage = { loaded: false, started: false, progress: 0, errors: [], synced: 0 });

  // ---- scaling: the largest whole factor that fits, at least 1 ----
  function rescale() {
    const header = document.fullscreenElement ? 0 : document.querySelector('header').offsetHeight + 40;
    const factor = Math.max(1, Math.floor(Math.min(window.innerWidth / 800, (window.innerHeight - header) / 600)));
    canvas.style.width = 800 * factor + 'px';
    canvas.style.height = 600 * factor + 'px';
  }
  window.addEventListener('resize', rescale);
  document.addEventListener('fullscreenchange', rescale);
  rescale();

  fullscreenButton.addEventListener('click', () => {
    if (document.fullscreenElement) document.exitFullscreen();
    else stage.requestFullscreen().catch(() => {});
    canvas.focus();
  });

  // ---- storage: the data folder in IndexedDB ----
  let syncing = false;
  function save() {
    if (syncing || !page.started) return;
    syncing = true;
    FS.syncfs(false, () => {
      syncing = false;
      page.synced++;
    });
  }
  window.addEventListener('pagehide', save);
  document.addEventListener('visibilitychange', save);

  // The newest .bmp under the data folder, handed to the player as a download.
  function newestScreenshot(folder) {
    let best = null;
    for (const name of FS.readdir(folder)) {
      if (name === '.' || name === '..') continue;
      const path = folder + '/' + name;
      const st = FS.stat(path);
      if (FS.isDir(st.mode)) {
        const inner = newestScreenshot(path);
        if (inner && (!best || inner.time > best.time)) best = inner;
      } else if (/\.bmp$/i.test(name) && (!best || st.mtime > best.time)) {
        best = { path, name, time: st.mtime };
      }
    }
    return best;
  }
  screenshotButton.addEventListener('click', () => {
    const shot = newestScreenshot(dataRoot);
    if (!shot) {
      statusLine.textContent = 'No screenshot yet';
      return;
    }
    const blob = new Blob([FS.readFile(shot.path)], { type: 'image/bmp' });
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = shot.name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
    canvas.focus();
  });

  // ---- the program ----
  window.Module = {
    canvas,
    arguments: [],
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    preRun: [
      () => {
        FS.mkdirTree(dataRoot);
        FS.mount(IDBFS, {}, dataRoot);
        addRunDependency('storage');
        FS.syncfs(true, () => removeRunDependency('storage'));
        // The program's own path, as the kernel gives it on Linux.
        FS.mkdirTree('/proc/self');
        try { FS.unlink('/proc/self/exe'); } catch (e) {}
        FS.symlink('/kr/' + program, '/proc/self/exe');
        FS.writeFile('/kr/kr-installed', '');
        FS.chdir('/kr');
        // The page's canvas is the program's display.
        ENV.SDL_VIDEODRIVER = 'emscripten';
        // Pixels go to the canvas as they are (no WebGL needed).
        ENV.SDL_RENDER_DRIVER = 'software';
      },
    ],
    setStatus: (text) => {
      const m = text.match(/\((\d+(?:\.\d+)?)\/(\d+)\)/);
      if (m) {
        page.progress = Number(m[1]) / Number(m[2]);
        progress.value = page.progress;
      }
      if (text) statusLine.textContent = text.replace(/\(.*\)/, '').trim();
    },
    onRuntimeInitialized: () => {
      page.loaded = true;
      page.progress = 1;
      progress.value = 1;
      loading.hidden = true;
      start.hidden = false;
      statusLine.textContent = 'Ready';
    },
    onAbort: (what) => {
      page.errors.push('abort: ' + what);
      statusLine.textContent = 'The program stopped: ' + what;
    },
  };

  start.addEventListener('click', () => {
    start.hidden = true;
    page.started = true;
    fullscreenButton.disabled = false;
    screenshotButton.disabled = false;
    statusLine.textContent = 'Playing';
    canvas.focus();
    setInterval(save, 2000);
    Module.callMain(Module.arguments);
  });

  window.addEventListener('error', (e) => page.errors.push(String(e.message)));
  // Keys the game uses must not scroll the page.
  window.addEventListener('keydown', (e) => {
    if (['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', ' '].includes(e.key)) e.preventDefault();
  }, { passive: false });
})();
