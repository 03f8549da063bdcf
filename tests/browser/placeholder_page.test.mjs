// Smoke test of the web UI in Debian's Chromium: the placeholder page served by
// talvero-web-fixture, the token traded for the cookie, the WebSocket channel
// both ways, the Origin check against a page of another port, and a clean stop.
//
//   TALVERO_WEB_FIXTURE  the fixture executable (default: build/test/talvero-web-fixture)
//   TALVERO_SCREENSHOTS  where the screenshot goes (default: build/browser-screenshots)

import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { mkdirSync } from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const fixturePath =
  process.env.TALVERO_WEB_FIXTURE ?? path.join(root, 'build/test/talvero-web-fixture');
const screenshotDir =
  process.env.TALVERO_SCREENSHOTS ?? path.join(root, 'build/browser-screenshots');
const waitLimit = 10_000;

let fixture;
let pageAddress;
let browser;

function firstLine(stream) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error('no address printed')), waitLimit);
    stream.on('data', (chunk) => {
      text += chunk;
      const end = text.indexOf('\n');
      if (end >= 0) {
        clearTimeout(timer);
        resolve(text.slice(0, end));
      }
    });
  });
}

before(async () => {
  fixture = spawn(fixturePath, [], { stdio: ['ignore', 'pipe', 'inherit'] });
  pageAddress = await firstLine(fixture.stdout);
  browser = await chromium.launch({
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
});

after(async () => {
  await browser?.close();
  if (fixture && fixture.exitCode === null) {
    fixture.kill('SIGKILL');
  }
});

test('the printed address signs the browser in and the channel works both ways', async () => {
  const address = new URL(pageAddress);
  assert.equal(address.hostname, '127.0.0.1');
  assert.match(address.searchParams.get('token'), /^[0-9a-f]{64}$/);

  const context = await browser.newContext();
  const page = await context.newPage();
  // A blocked script or style (the security policy) shows as a console error.
  const problems = [];
  page.on('console', (message) => message.type() === 'error' && problems.push(message.text()));
  page.on('pageerror', (error) => problems.push(error.message));
  const response = await page.goto(pageAddress);
  assert.equal(response.status(), 200);
  assert.equal(page.url(), `${address.origin}/`, 'the token is gone from the address');

  const cookies = await context.cookies(address.origin);
  assert.equal(cookies.length, 1);
  assert.equal(cookies[0].value, address.searchParams.get('token'));
  assert.equal(cookies[0].httpOnly, true);
  assert.equal(cookies[0].sameSite, 'Strict');
  assert.equal(await page.evaluate(() => document.cookie), '', 'scripts cannot read it');

  const received = page.getByRole('list', { name: 'Received messages' });
  await page.getByText('open', { exact: true }).waitFor({ timeout: waitLimit });
  await received.getByText('"type":"hello"').waitFor({ timeout: waitLimit });

  await page.getByRole('button', { name: 'Send ping' }).click();
  await received.getByText('"type":"pong"').waitFor({ timeout: waitLimit });

  assert.deepEqual(problems, []);
  mkdirSync(screenshotDir, { recursive: true });
  await page.screenshot({ path: path.join(screenshotDir, 'placeholder-page.png') });
  await context.close();
});

test('without the token or cookie nothing is served and no channel opens', async () => {
  const origin = new URL(pageAddress).origin;
  const context = await browser.newContext();
  const page = await context.newPage();
  const response = await page.goto(`${origin}/`);
  assert.equal(response.status(), 403);
  const closeCode = await page.evaluate(
    (url) =>
      new Promise((resolve) => {
        const socket = new WebSocket(url);
        socket.onopen = () => resolve('opened');
        socket.onclose = (event) => resolve(event.code);
      }),
    `ws://${new URL(pageAddress).host}/ws`,
  );
  assert.equal(closeCode, 1006);
  await context.close();
});

// SameSite does not tell ports apart: a page on another port of 127.0.0.1 is
// the same site and its WebSocket carries the operator's cookie. Only the
// Origin check keeps it out.
test('a page of another port cannot open the channel with the cookie', async () => {
  const foreign = http.createServer((request, response) => {
    response.setHeader('Content-Type', 'text/html; charset=utf-8');
    response.end('<!DOCTYPE html><title>foreign</title><p>foreign page</p>');
  });
  foreign.listen(0, '127.0.0.1');
  await once(foreign, 'listening');
  try {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(pageAddress);
    await page.goto(`http://127.0.0.1:${foreign.address().port}/`);
    const result = await page.evaluate(
      (url) =>
        new Promise((resolve) => {
          const socket = new WebSocket(url);
          socket.onopen = () => resolve('opened');
          socket.onclose = (event) => resolve(event.code);
        }),
      `ws://${new URL(pageAddress).host}/ws`,
    );
    assert.equal(result, 1006);
    await context.close();
  } finally {
    foreign.close();
  }
});

test('SIGTERM stops the server cleanly', async () => {
  fixture.kill('SIGTERM');
  const [code] = await once(fixture, 'exit');
  assert.equal(code, 0);
});
