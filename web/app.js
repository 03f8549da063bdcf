// The channel to the server: connects the WebSocket beside this page (the
// cookie that the page's own address gave goes with it), lists every message
// it receives, and sends a ping on the button.
'use strict';

const state = document.getElementById('state');
const received = document.getElementById('received');
const ping = document.getElementById('ping');

function show(text, kind) {
  state.textContent = text;
  state.className = kind;
}

const socket = new WebSocket(`ws://${location.host}/ws`);

socket.addEventListener('open', () => {
  show('open', 'open');
  ping.disabled = false;
});

socket.addEventListener('message', (event) => {
  const item = document.createElement('li');
  item.textContent = event.data;
  received.append(item);
});

socket.addEventListener('close', (event) => {
  show(`closed (${event.code})`, 'closed');
  ping.disabled = true;
});

ping.addEventListener('click', () => {
  socket.send(JSON.stringify({ type: 'ping', at: Date.now() }));
});
