// The service console in Debian's Chromium: the real `talvero` without a mode
// on a temporary home. No service manager can be reached here, so the console
// offers only Run Application, which turns its page into the monitor.

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { once } from 'node:events';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { freePort, launchBrowser, openPageIn, run, screenshot, settings, waitLimit } from './support.mjs';

let browser;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

// No system bus: the console must say it cannot reach the service manager.
const environment = {
  ...process.env,
  DISPLAY: '',
  WAYLAND_DISPLAY: '',
  DBUS_SYSTEM_BUS_ADDRESS: 'unix:path=/nonexistent/talvero-test-bus',
};

async function startConsole(home) {
  const uiPort = await freePort();
  const program = run('talvero', ['--home', home, '--dev-dir', path.join(home, 'dev'), '--ui', `127.0.0.1:${uiPort}`], {
    env: environment,
  });
  program.exited = once(program, 'exit');
  return program;
}

async function stopConsole(program, home) {
  if (program.exitCode === null) {
    program.kill('SIGTERM');
    await program.exited;
  }
  rmSync(home, { recursive: true, force: true });
}

async function secondConsoleIsRefused(home) {
  const second = await startConsole(home);
  const [code] = await second.exited;
  assert.equal(code, 1, second.output);
  assert.equal(second.output, 'The other instance of "Corvane Console" is running.\r\n');
}

test('the console shows what it can do, allows one console, and its Run Application runs the monitor until it closes', async () => {
  const home = mkdtempSync(path.join(os.tmpdir(), 'talvero-console-'));
  mkdirSync(path.join(home, 'dev'));
  mkdirSync(path.join(home, 'Resources'));
  writeFileSync(path.join(home, 'Talvero.ini'), settings(await freePort()));
  const program = await startConsole(home);
  try {
    await program.waitFor('?token=');
    const page = await openPageIn(browser, program.output.split('\n')[0].trim());
    await page.getByRole('heading', { name: 'Corvane Console' }).waitFor();
    const service = page.getByText('Service Status:  Failed to check Services Manager.', { exact: true });
    await service.waitFor({ timeout: waitLimit });
    await page.getByText('Application Status:  Enabled', { exact: true }).waitFor();
    assert.match(await page.title(), /^Corvane Console - Failed to check Services Manager\.$/);
    assert.equal(await page.getByRole('button', { name: 'Run Application' }).isEnabled(), true);
    for (const name of ['Install Service', 'Uninstall Service', 'Start Service', 'Stop Service']) {
      assert.equal(await page.getByRole('button', { name, exact: true }).isDisabled(), true, name);
    }
    assert.equal(await page.getByRole('button', { name: 'Help' }).isEnabled(), true);
    for (const hint of [
      'New Error while running service. Click to view log',
      'New Important Message while running service. Click to view log',
    ]) {
      assert.equal(await page.getByRole('button', { name: hint }).count(), 0, hint);
    }
    await screenshot(page, 'console');

    await secondConsoleIsRefused(home);

    await page.getByRole('button', { name: 'Help' }).click();
    const chooser = page.getByRole('dialog', { name: 'Help Options' });
    await chooser.getByRole('button', { name: 'EN' }).click();
    await page.getByRole('dialog', { name: 'Help file is missing.' }).getByRole('button', { name: 'OK' }).click();
    await page.keyboard.press('Escape');
    await chooser.waitFor({ state: 'detached' });

    await page.getByRole('button', { name: 'Run Application' }).click();
    await page.waitForURL((url) => url.pathname === '/', { timeout: waitLimit });
    await page.getByText('connected', { exact: true }).waitFor({ timeout: waitLimit });
    await page.getByRole('tab', { name: 'All Msg' }).waitFor({ timeout: waitLimit });
    assert.equal(await page.title(), 'Corvane Talvero (v2.0.00)');
    await page.getByLabel('All Msg', { exact: true }).getByText('Application started..').waitFor({ timeout: waitLimit });
    await screenshot(page, 'console-run-application');

    await secondConsoleIsRefused(home);

    await page.getByRole('button', { name: 'Close' }).click();
    await page.getByRole('dialog').getByRole('button', { name: 'Yes' }).click();
    await page.getByText('The monitor has closed.').waitFor({ timeout: waitLimit });
    const [code] = await program.exited;
    assert.equal(code, 0, program.output);
    assert.deepEqual(page.problems, []);
  } finally {
    await stopConsole(program, home);
  }
});

test('the close button ends the console and tells the page', async () => {
  const home = mkdtempSync(path.join(os.tmpdir(), 'talvero-console-'));
  const program = await startConsole(home);
  try {
    await program.waitFor('?token=');
    const page = await openPageIn(browser, program.output.split('\n')[0].trim());
    await page.getByText('Service Status:  Failed to check Services Manager.', { exact: true }).waitFor();
    await page.getByRole('button', { name: 'Close' }).click();
    await page.getByText('The console has closed.').waitFor({ timeout: waitLimit });
    const [code] = await program.exited;
    assert.equal(code, 0, program.output);
    assert.deepEqual(page.problems, []);
  } finally {
    await stopConsole(program, home);
  }
});
