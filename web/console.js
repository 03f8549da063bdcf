// The service console: shows the console's view as the receiver sends it and
// hands every click back. The receiver decides everything; this page draws.
'use strict';

let box = null; // the message box of the view, while it is shown here
let view = null;

// The window became the active one again: shown, focused, or a box closed.
function activated() {
  send({ type: 'activate' });
}

function serviceButtons() {
  return [...document.querySelectorAll('[data-button]')];
}

// The tab's title stands for the notification-area icon: the console's state at a glance.
function showTitle() {
  const state = view.service.replace(/^Service Status:\s*/, '');
  const marks = [view.errorIndicator && 'new error', view.importantIndicator && 'new message']
    .filter(Boolean)
    .join(', ');
  document.title = `${marks ? `(${marks}) ` : ''}Corvane Console${state && state !== '--' ? ` - ${state}` : ''}`;
}

function showView(message) {
  view = message;
  $('application').textContent = message.application;
  $('service').textContent = message.service;
  for (const button of serviceButtons()) {
    button.disabled = message.busy || !message.enabled[button.dataset.button];
  }
  $('help').disabled = message.busy && !message.box;
  $('close').disabled = message.busy;
  $('errorIndicator').hidden = !message.errorIndicator;
  $('importantIndicator').hidden = !message.importantIndicator;
  document.body.classList.toggle('busy', message.busy && !message.box);
  if (message.box && !box) {
    box = message.box;
    messageBox('error', message.box, () => {
      box = null;
      send({ type: 'boxOk' });
    });
  } else if (!message.box && box) {
    // Answered on another page.
    box = null;
    $('dialogs').lastElementChild?.remove();
  }
  showTitle();
}

function showLog(message) {
  const text = element('pre', { class: 'log-text', tabindex: '0', text: message.text });
  dialog({
    caption: message.file,
    className: 'log-view',
    body: [text],
    buttons: [{ caption: 'OK', isDefault: true, isCancel: true, run: () => {} }],
    onClose: activated,
  });
  // The newest lines are at the end.
  text.scrollTop = text.scrollHeight;
}

function showClosed(text) {
  closed = true;
  document.title = 'Corvane Console - closed';
  $('closedText').textContent = text;
  $('closedNote').hidden = false;
  $('connection').textContent = 'closed';
}

for (const button of serviceButtons()) {
  button.addEventListener('click', () => send({ type: 'press', button: button.dataset.button }));
}
for (const indicator of document.querySelectorAll('.console-indicator')) {
  indicator.addEventListener('click', () => send({ type: 'indicator', which: indicator.dataset.which }));
}
$('help').addEventListener('click', () => helpChooser(ask, activated));
$('close').addEventListener('click', () => send({ type: 'close' }));
window.addEventListener('focus', activated);

const handlers = {
  view: showView,
  log: showLog,
  // Run Application: this page turns into the monitor.
  monitor: () => {
    closed = true;
    location.replace('/');
  },
  closed: (message) => showClosed(message.text ?? 'The console has closed.'),
};

connect(handlers, () => showClosed('The connection to the console was lost.'));
