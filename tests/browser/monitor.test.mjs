// The operator monitor in Debian's Chromium: the real `talvero --monitor` on a
// temporary home, units played by talvero-unit over 127.0.0.1 and the
// monitoring software by talvero-station on a pseudo-terminal.

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { once } from 'node:events';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync, existsSync } from 'node:fs';
import http from 'node:http';
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

const openPage = (address) => openPageIn(browser, address);

async function unit(port, ...args) {
  const child = run('talvero-unit', ['--port', String(port), ...args]);
  const [code] = await once(child, 'exit');
  return { code, output: child.output };
}

// A monitor on its own home and ports; the station joins when asked.
async function startMonitor({ station = null } = {}) {
  const home = mkdtempSync(path.join(os.tmpdir(), 'talvero-monitor-'));
  const dev = path.join(home, 'dev');
  mkdirSync(dev);
  mkdirSync(path.join(home, 'Resources'));
  const port = await freePort();
  writeFileSync(path.join(home, 'Talvero.ini'), settings(port));
  let stationProcess = null;
  if (station) {
    stationProcess = run('talvero-station', ['--link', path.join(dev, 'COM1'), '--answer', station]);
    await stationProcess.waitFor('COM1');
  }
  const uiPort = await freePort();
  const monitor = run('talvero', ['--monitor', '--home', home, '--dev-dir', dev, '--ui', `127.0.0.1:${uiPort}`], {
    env: { ...process.env, DISPLAY: '', WAYLAND_DISPLAY: '' },
  });
  await monitor.waitFor('?token=');
  const address = monitor.output.split('\n')[0].trim();
  return {
    home,
    port,
    address,
    monitor,
    station: stationProcess,
    async stop() {
      if (monitor.exitCode === null) {
        monitor.kill('SIGTERM');
        await once(monitor, 'exit');
      }
      if (stationProcess && stationProcess.exitCode === null) {
        stationProcess.kill('SIGTERM');
        await once(stationProcess, 'exit');
      }
      rmSync(home, { recursive: true, force: true });
    },
  };
}

async function rowMenu(page, unitText, item) {
  await page.getByRole('tab', { name: 'Test Time Monitor' }).click();
  await page.getByRole('gridcell', { name: unitText, exact: true }).click({ button: 'right' });
  await page.getByRole('menuitem', { name: item, exact: true }).click();
}

test('an alarm reaches All Msg, the counters, the grid and the station; the filter finds units', async () => {
  const m = await startMonitor({ station: 'ack' });
  try {
    const page = await openPage(m.address);
    assert.equal(await page.title(), 'Corvane Talvero (v2.0.00)');
    const sent = await unit(m.port, 'alarm', '--unit', '0012', '--account', '1234', '--event', '1130', '--group', '01', '--zone', '005');
    assert.equal(sent.code, 0, sent.output);
    await m.station.waitFor('5077 181234E13001005');

    const all = page.getByLabel('All Msg', { exact: true });
    await all.getByText('[CID=E130-01-005]').waitFor({ timeout: waitLimit });
    await page.locator('#receiveMsg').getByText('1 ').waitFor({ timeout: waitLimit });
    await page.locator('#sendToMs').getByText('1 ').waitFor({ timeout: waitLimit });
    await screenshot(page, 'monitor-all-msg');

    await unit(m.port, 'ping', '--unit', '0013');
    await page.getByRole('tab', { name: 'Test Time Monitor' }).click();
    const grid = page.getByRole('grid', { name: 'Test Time Monitor' });
    await grid.getByRole('columnheader', { name: 'Comm Tr. 1' }).waitFor();
    const row = grid.getByRole('row').filter({ has: page.getByRole('gridcell', { name: '0012', exact: true }) });
    await row.waitFor({ timeout: waitLimit });
    assert.match(await row.evaluate((node) => node.style.background), /rgb\(255, 255, 255\).*rgb\(222, 222, 222\)/);
    await row.getByRole('gridcell', { name: '1234' }).waitFor();
    await grid.getByRole('gridcell', { name: '0013', exact: true }).waitFor();

    await page.getByRole('textbox', { name: 'Filter' }).fill('1234');
    await grid.getByRole('gridcell', { name: '0013', exact: true }).waitFor({ state: 'detached', timeout: waitLimit });
    assert.equal(await grid.getByRole('gridcell', { name: '0012', exact: true }).count(), 1);
    assert.equal(await page.getByRole('textbox', { name: 'Filter' }).evaluate((node) => node.style.background), 'rgb(0, 255, 255)');
    await page.getByRole('textbox', { name: 'Filter' }).fill('');
    await grid.getByRole('gridcell', { name: '0013', exact: true }).waitFor({ timeout: waitLimit });
    await screenshot(page, 'monitor-test-time-monitor');
    assert.deepEqual(page.problems, []);
  } finally {
    await m.stop();
  }
});

test('Get Ping reaches a TCP unit as its bytes', async () => {
  const m = await startMonitor();
  try {
    const page = await openPage(m.address);
    const listening = run('talvero-unit', ['--port', String(m.port), 'ping', '--unit', '0021', '--listen', '8']);
    await listening.waitFor('Answer: Ack');
    await rowMenu(page, '0021', 'Get Ping');
    await listening.waitFor('Get Ping (9 b.): 0x24000000010200007D');
    await page.getByLabel('All Msg', { exact: true }).getByText('Send Cmd <Get Ping> to Unit 0021').waitFor();
    assert.equal(await page.getByRole('tab', { name: 'All Msg' }).getAttribute('aria-selected'), 'true');
    listening.kill('SIGTERM');
  } finally {
    await m.stop();
  }
});

test('a command for a unit that has gone waits in its Cmd list until cleared', async () => {
  const m = await startMonitor();
  try {
    const page = await openPage(m.address);
    await unit(m.port, 'ping', '--unit', '0051');
    await rowMenu(page, '0051', 'Get Ping');
    const row = page.getByRole('row').filter({ has: page.getByRole('gridcell', { name: '0051', exact: true }) });
    const cmd = row.locator('[aria-colindex="13"]');
    await cmd.getByText('1', { exact: true }).waitFor({ timeout: waitLimit });
    await cmd.click();
    const popup = page.getByRole('dialog', { name: 'Send CMD' });
    await popup.getByRole('listitem').getByText('Get Ping').waitFor();
    await popup.getByRole('button', { name: 'Clear All Remembered Commands' }).click();
    await popup.waitFor({ state: 'detached' });
    await cmd.getByText('1', { exact: true }).waitFor({ state: 'detached', timeout: waitLimit });
  } finally {
    await m.stop();
  }
});

test('Reset Device asks the password again after a wrong one and Cancel sends nothing', async () => {
  const m = await startMonitor();
  try {
    const page = await openPage(m.address);
    const listening = run('talvero-unit', ['--port', String(m.port), 'ping', '--unit', '0031', '--listen', '8']);
    await listening.waitFor('Answer: Ack');
    await rowMenu(page, '0031', 'Reset Device');
    const prompt = page.getByRole('dialog', { name: 'Security Options' });
    await prompt.getByText('Please enter Admin Password:').waitFor();
    await screenshot(page, 'monitor-password');
    await prompt.getByRole('textbox').fill('wrong');
    await prompt.getByRole('button', { name: 'OK' }).click();
    const error = page.getByRole('dialog', { name: 'Incorrect password.' });
    await error.getByText('Error').waitFor();
    await error.getByRole('button', { name: 'OK' }).click();
    await prompt.getByRole('textbox').waitFor();
    assert.equal(await prompt.getByRole('textbox').inputValue(), '', 'a fresh prompt');
    await prompt.getByRole('button', { name: 'Cancel' }).click();
    await prompt.waitFor({ state: 'detached' });
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.doesNotMatch(listening.output, /Then:/);
    assert.equal(await page.getByLabel('All Msg', { exact: true }).getByText('Send Cmd').count(), 0);

    // The right password sends it.
    await rowMenu(page, '0031', 'Reset Device');
    await prompt.getByRole('textbox').fill('9873');
    await prompt.getByRole('button', { name: 'OK' }).click();
    await listening.waitFor('Then:');
    listening.kill('SIGTERM');
  } finally {
    await m.stop();
  }
});

test('a settings edit restarts the listener on the new port', async () => {
  const m = await startMonitor();
  try {
    const page = await openPage(m.address);
    await page.getByRole('tab', { name: 'Settings' }).click();
    const next = await freePort();
    const field = page.getByRole('textbox', { name: 'TCP/UDP Server Port' });
    await field.fill(String(next));
    await field.press('Enter');
    await page.getByRole('tab', { name: 'All Msg' }).click();
    await page.getByLabel('All Msg', { exact: true }).getByText(`Server Listen TCP Port ${next}`).waitFor({ timeout: waitLimit });
    const answered = await unit(next, 'ping', '--unit', '0041');
    assert.equal(answered.code, 0, answered.output);
    assert.match(readFileSync(path.join(m.home, 'Talvero.ini'), 'latin1'), new RegExp(`TcpUdpSrvPort=${next}\r\n`));
    await screenshot(page, 'monitor-settings');
  } finally {
    await m.stop();
  }
});

test('closing asks first: unsent lines are counted, thresholds are saved', async () => {
  const m = await startMonitor({ station: 'none' });
  try {
    const page = await openPage(m.address);
    // The unanswered heartbeat stays the head of the queue; the alarm waits behind it.
    const alarm = await unit(m.port, 'alarm', '--unit', '0012');
    assert.equal(alarm.code, 0, alarm.output);
    await m.station.waitFor('[heartbeat]');

    await page.getByRole('tab', { name: 'Test Time Monitor' }).click();
    const threshold = page.getByRole('textbox', { name: 'Comm Tr. 1 of unit 0012' });
    await threshold.fill('33');
    await threshold.press('Enter');

    await page.getByRole('button', { name: 'Close' }).click();
    const question = page.getByRole('dialog', { name: /^There are 2 unsent messages in Internal Buffer\./ });
    await question.waitFor({ timeout: waitLimit });
    await question.getByRole('button', { name: 'No' }).click();
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.equal(m.monitor.exitCode, null, 'still running after No');

    await page.getByRole('button', { name: 'Close' }).click();
    await question.getByRole('button', { name: 'Yes' }).click();
    const [code] = await once(m.monitor, 'exit');
    assert.equal(code, 0);
    await page.getByText('The monitor has closed.').waitFor({ timeout: waitLimit });
    const saved = readFileSync(path.join(m.home, 'Resources', 'ctdata.dat'), 'latin1');
    assert.match(saved, /\n18:1:33\r\n/);
  } finally {
    await m.stop();
  }
});

test('with only the heartbeat queued the question is plain', async () => {
  const m = await startMonitor();
  try {
    const page = await openPage(m.address);
    await page.getByRole('button', { name: 'Close' }).click();
    const question = page.getByRole('dialog', { name: 'Close application?' });
    await question.getByText('Confirmation').waitFor();
    await question.getByRole('button', { name: 'Yes' }).click();
    const [code] = await once(m.monitor, 'exit');
    assert.equal(code, 0);
    const log = readFileSync(path.join(m.home, 'Log', 'All msg', `${new Date().toISOString().slice(0, 10)}.log`), 'latin1');
    assert.match(log, /Application closed\r\n\r\n$/);
  } finally {
    await m.stop();
  }
});

test('only the printed address signs a browser in, and no other site opens the channel', async () => {
  const m = await startMonitor();
  const foreign = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html; charset=utf-8');
    response.end('<!DOCTYPE html><title>foreign</title><p>foreign page</p>');
  });
  foreign.listen(0, '127.0.0.1');
  await once(foreign, 'listening');
  try {
    const address = new URL(m.address);
    assert.match(address.searchParams.get('token'), /^[0-9a-f]{64}$/);
    const context = await browser.newContext();
    const stranger = await context.newPage();
    assert.equal((await stranger.goto(`${address.origin}/`)).status(), 403);

    const page = await context.newPage();
    await page.goto(m.address);
    assert.equal(page.url(), `${address.origin}/`, 'the token is gone from the address');
    const cookies = await context.cookies(address.origin);
    assert.equal(cookies.length, 1);
    assert.equal(cookies[0].httpOnly, true);
    assert.equal(cookies[0].sameSite, 'Strict');

    // SameSite does not tell ports apart: only the Origin check keeps a page of
    // another port of 127.0.0.1 out, though its WebSocket carries the cookie.
    await stranger.goto(`http://127.0.0.1:${foreign.address().port}/`);
    const result = await stranger.evaluate(
      (url) =>
        new Promise((resolve) => {
          const socket = new WebSocket(url);
          socket.onopen = () => resolve('opened');
          socket.onclose = (event) => resolve(event.code);
        }),
      `ws://${address.host}/ws`,
    );
    assert.equal(result, 1006);
    await context.close();

    m.monitor.kill('SIGTERM');
    const [code] = await once(m.monitor, 'exit');
    assert.equal(code, 0);
  } finally {
    foreign.close();
    await m.stop();
  }
});
