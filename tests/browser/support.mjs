// What the browser tests share: the browser, free ports, the receiver's
// settings, processes whose output is gathered, pages and screenshots.
//
//   TALVERO_BIN          the folder of talvero, talvero-unit, talvero-station (build/test)
//   TALVERO_SCREENSHOTS  where the screenshots go (build/browser-screenshots)

import { spawn } from 'node:child_process';
import { mkdirSync } from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const bin = process.env.TALVERO_BIN ?? path.join(root, 'build/test');
export const screenshotDir = process.env.TALVERO_SCREENSHOTS ?? path.join(root, 'build/browser-screenshots');
export const waitLimit = 10_000;

// Debian's Chromium, headless, with nothing that reaches out to the network.
export function launchBrowser() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

export function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

export function settings(port) {
  return [
    `TcpUdpSrvPort=${port}`, 'SerialPort=COM1', 'CommTrouble1=15', 'CommTrouble2=60',
    'CommTrouble3=240', 'CommTrStartUpDelay=7', 'PingInvToMonitSoft=30', 'EncrMarker=0',
    'AutoStartUp=0', 'SystemTray=0', 'PlaySounds=0', 'ReceiverNumber=7', 'LineNumber=7',
    'EncryptionKey=9873', '',
  ].join('\r\n');
}

// A process whose output is gathered; waitFor resolves once it holds a text.
export function run(program, args, options = {}) {
  const child = spawn(path.join(bin, program), args, { stdio: ['ignore', 'pipe', 'pipe'], ...options });
  child.output = '';
  child.stdout.on('data', (chunk) => {
    child.output += chunk;
  });
  child.stderr.on('data', (chunk) => {
    child.output += chunk;
  });
  child.waitFor = (text, limit = waitLimit) =>
    new Promise((resolve, reject) => {
      const started = Date.now();
      const look = () => {
        if (child.output.includes(text)) resolve(child.output);
        else if (Date.now() - started > limit) reject(new Error(`${program}: no "${text}" in:\n${child.output}`));
        else setTimeout(look, 25);
      };
      look();
    });
  return child;
}

export async function openPageIn(browser, address) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 760 } });
  const page = await context.newPage();
  page.problems = [];
  page.on('pageerror', (error) => page.problems.push(error.message));
  page.on('console', (message) => message.type() === 'error' && page.problems.push(message.text()));
  await page.goto(address);
  await page.getByText('connected', { exact: true }).waitFor({ timeout: waitLimit });
  return page;
}

export async function screenshot(page, name) {
  mkdirSync(screenshotDir, { recursive: true });
  await page.screenshot({ path: path.join(screenshotDir, `${name}.png`) });
}
