// The pages in Debian's Chromium, headless, driven by playwright-core:
// KR_WEB_DRIVER=<folder> node page_test.mjs <site folder>. The site is served on 127.0.0.1 by a
// plain static server. Checks, for the game's page: it loads, shows its
// progress, starts on a click and draws frames with no error in the
// console; its data folder survives a reload.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createRequire } from 'node:module';

// playwright-core from the npm registry, installed by scripts/web_test.sh
// into the folder KR_WEB_DRIVER names.
const { chromium } = createRequire(join(process.env.KR_WEB_DRIVER, 'node_modules', '/'))('playwright-core');

const site = process.argv[2];
const port = 8000 + Math.floor(Math.random() * 1000);
const failures = [];
const check = (ok, what) => {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures.push(what);
};

const server = spawn('python3', ['-m', 'http.server', String(port), '--bind', '127.0.0.1', '-d', site], { stdio: 'ignore' });
await new Promise((r) => setTimeout(r, 800));
const profile = mkdtempSync(join(tmpdir(), 'kr-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=no-user-gesture-required'],
});
try {
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  const url = `http://127.0.0.1:${port}/game/`;
  await page.goto(url);
  // Progress is shown while the data arrive, then "click to start".
  await page.waitForFunction(() => window.krPage && window.krPage.loaded, null, { timeout: 120000 });
  check(await page.evaluate(() => window.krPage.progress === 1), 'the loading bar reaches its end');
  check(await page.isVisible('#start'), '"click to start" shows once loaded');
  await page.click('#start');
  await page.waitForTimeout(3000);
  await page.locator('#canvas').screenshot({ path: join(site, '..', 'page-game.png') });
  const lit = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    const copy = document.createElement('canvas');
    copy.width = c.width;
    copy.height = c.height;
    const g = copy.getContext('2d');
    g.drawImage(c, 0, 0);
    const d = g.getImageData(0, 0, copy.width, copy.height).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] | d[i + 1] | d[i + 2]) n++;
    return n;
  });
  check(lit > 800 * 600 / 10, `the canvas shows the game after the click (${lit} pixels not black)`);
  check(await page.evaluate(() => window.krPage.errors.length === 0), 'the program runs without stopping');
  check(errors.length === 0, 'no error in the console' + (errors.length ? ': ' + errors.join(' | ') : ''));
  // Storage: a file in the data folder is there again after a reload.
  await page.evaluate(() => {
    FS.mkdirTree('/home/web_user/.local/share/kr');
    FS.writeFile('/home/web_user/.local/share/kr/page-test.txt', 'kept');
    return new Promise((r) => FS.syncfs(false, r));
  });
  await page.reload();
  await page.waitForFunction(() => window.krPage && window.krPage.loaded, null, { timeout: 120000 });
  const kept = await page.evaluate(() => {
    try { return FS.readFile('/home/web_user/.local/share/kr/page-test.txt', { encoding: 'utf8' }); } catch (e) { return ''; }
  });
  check(kept === 'kept', 'the data folder survives a reload');
} finally {
  await context.close();
  server.kill();
  rmSync(profile, { recursive: true, force: true });
}
process.exit(failures.length ? 1 : 0);
