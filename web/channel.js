// The page's one channel back to the program that served it.
'use strict';

let socket = null;
let nextId = 1;
const waiting = new Map(); // request id -> function taking the answer
let closed = false; // the program said it closed: losing the channel is no news then

function send(message) {
  if (socket && socket.readyState === WebSocket.OPEN) {
    socket.send(JSON.stringify(message));
  }
}

// Sends a request and calls back with its answer.
function ask(message, onAnswer) {
  const id = nextId++;
  waiting.set(id, onAnswer);
  send({ ...message, id });
}

// Opens the channel: answers go to their askers, every other message to the
// handler of its type; lost runs when the channel goes without a word.
function connect(handlers, lost) {
  socket = new WebSocket(`ws://${location.host}/ws`);
  socket.addEventListener('open', () => {
    $('connection').textContent = 'connected';
  });
  socket.addEventListener('message', (event) => {
    const message = JSON.parse(event.data);
    if (message.id !== undefined && waiting.has(message.id)) {
      const onAnswer = waiting.get(message.id);
      waiting.delete(message.id);
      onAnswer(message);
      return;
    }
    handlers[message.type]?.(message);
  });
  socket.addEventListener('close', () => {
    if (!closed) lost();
  });
}
