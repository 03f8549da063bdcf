// The monitor page's figures, for bench/monitor: MONITOR_ADDRESS is the page,
// LOAD_COMMAND the load generator started for the figures under load.
import { spawn } from 'node:child_process';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const { chromium } = await import(path.join(repo, 'tests/browser/node_modules/playwright-core/index.mjs'));
const units = 65536;
const rowHeight = 20;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });

// The "Unit ID" cell of a unit's row.
function unitCell(text) {
  return page.locator('#gridBody [role=gridcell][aria-colindex="1"]').filter({ hasText: new RegExp(`^${text}$`) });
}

const started = performance.now();
await page.goto(process.env.MONITOR_ADDRESS);
await page.getByRole('tab', { name: 'Test Time Monitor' }).click();
await unitCell('0000').waitFor({ timeout: 30000 });
const firstRows = performance.now() - started;

// Scrolls the grid to a row and waits until that row's unit is drawn, timed
// inside the page so the driver's own round trips do not count.
async function jump(index) {
  const text = index.toString(16).toUpperCase().padStart(4, '0');
  return page.evaluate(
    ({ top, text }) =>
      new Promise((resolve) => {
        const body = document.getElementById('gridBody');
        const shown = () =>
          [...body.querySelectorAll('[role=gridcell][aria-colindex="1"]')].some((cell) => cell.textContent === text);
        const begin = performance.now();
        const observer = new MutationObserver(() => {
          if (shown()) {
            observer.disconnect();
            resolve(performance.now() - begin);
          }
        });
        observer.observe(body, { childList: true, subtree: true });
        body.scrollTop = top;
      }),
    { top: index * rowHeight, text },
  );
}

function spread(times) {
  const sorted = [...times].sort((a, b) => a - b);
  return { p50: sorted[Math.floor(sorted.length / 2)], max: sorted[sorted.length - 1] };
}

let seed = 7;
const targets = Array.from({ length: 30 }, () => {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return 40 + (seed % (units - 80));
});
const idle = [];
for (const target of targets) idle.push(await jump(target));

const [program, ...args] = process.env.LOAD_COMMAND.split(' ');
const load = spawn(program, args, { stdio: ['ignore', 'pipe', 'inherit'] });
let loadReport = '';
load.stdout.on('data', (chunk) => {
  loadReport += chunk;
});
await new Promise((resolve) => setTimeout(resolve, 3000));
const busy = [];
for (const target of targets) busy.push(await jump(target));
const counter = await page.locator('#receiveMsg').textContent();
load.kill('SIGKILL');
await browser.close();

const ms = (value) => `${value.toFixed(0)} ms`;
const rows = [
  ['First rows shown, 65,536 units in use', ms(firstRows), '< 2000 ms', firstRows < 2000],
  ['Jump to any row, p50 / max (30 jumps)', `${ms(spread(idle).p50)} / ${ms(spread(idle).max)}`, '< 100 ms', spread(idle).max < 100],
  ['Jump while 1,000 units report each second, p50 / max', `${ms(spread(busy).p50)} / ${ms(spread(busy).max)}`, '< 100 ms', spread(busy).max < 100],
];
console.log('| Figure | Measured | Target | Result |');
console.log('|---|---|---|---|');
for (const [name, value, target, ok] of rows) console.log(`| ${name} | ${value} | ${target} | ${ok ? 'PASS' : 'FAIL'} |`);
console.log(`Receive Msg counter when the load stopped: ${counter.trim()}`);
process.exit(rows.every((row) => row[3]) ? 0 : 1);
