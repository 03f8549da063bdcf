// What both pages draw their boxes with: the monitor's and the console's.
'use strict';

const $ = (id) => document.getElementById(id);

function element(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key === 'class') node.className = value;
    else if (key === 'text') node.textContent = value;
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node.setAttribute(key, value);
  }
  node.append(...children);
  return node;
}

// A modal box of this page: a caption, a body, and its buttons. Each button's
// handler gets the click event (for the Ctrl key) and closes the box unless it
// returns false.
// A message box is named by its text, so a screen reader says what it asks.
// onClose runs once the box is gone.
function dialog({ caption, name = caption, body = [], buttons, focus, className = '', onClose }) {
  const layer = element('div', { class: 'layer' });
  const box = element('div', {
    class: `dialog ${className}`,
    role: 'dialog',
    'aria-modal': 'true',
    'aria-label': name,
  });
  const close = () => {
    if (!layer.isConnected) return;
    layer.remove();
    const next = $('dialogs').lastElementChild?.querySelector('input, button');
    (next ?? document.querySelector('[data-focus-home]') ?? document.body).focus();
    onClose?.();
  };
  const row = element('div', { class: 'buttons' });
  for (const button of buttons) {
    const node = element('button', { type: 'button', text: button.caption });
    node.addEventListener('click', (event) => {
      if (button.run(event) !== false) close();
    });
    button.node = node;
    row.append(node);
  }
  box.append(element('div', { class: 'caption', text: caption }), ...body, row);
  box.addEventListener('keydown', (event) => {
    const byDefault = buttons.find((b) => b.isDefault);
    const byCancel = buttons.find((b) => b.isCancel);
    if (event.key === 'Enter' && byDefault && event.target.tagName !== 'BUTTON') {
      event.preventDefault();
      if (byDefault.run(event) !== false) close();
    } else if (event.key === 'Escape' && byCancel) {
      event.preventDefault();
      if (byCancel.run(event) !== false) close();
    } else if (event.key === 'Tab') {
      const focusable = [...box.querySelectorAll('input, button, select')];
      const at = focusable.indexOf(document.activeElement);
      const next = (at + (event.shiftKey ? -1 : 1) + focusable.length) % focusable.length;
      focusable[next].focus();
      event.preventDefault();
    }
  });
  layer.append(box);
  $('dialogs').append(layer);
  (focus ?? buttons.find((b) => b.isDefault)?.node ?? buttons[0].node).focus();
  return { close, box };
}

// A message box with an OK button; then continues.
function messageBox(kind, text, then = () => {}) {
  const caption = { warning: 'Warning', error: 'Error', information: 'Information' }[kind];
  dialog({
    caption,
    name: text,
    className: kind,
    body: [element('p', { class: 'message', text })],
    buttons: [{ caption: 'OK', isDefault: true, isCancel: true, run: () => then() }],
  });
}

function question(text, onAnswer) {
  dialog({
    caption: 'Confirmation',
    name: text,
    body: [element('p', { class: 'message', text })],
    buttons: [
      { caption: 'Yes', isDefault: true, run: () => onAnswer(true) },
      { caption: 'No', isCancel: true, run: () => onAnswer(false) },
    ],
  });
}

// The help chooser: a language's button hands its file over as a download, or
// says the file is missing. ask sends a request and calls back with its answer.
function helpChooser(ask, onClose) {
  const choose = (lang) => () => {
    ask({ type: 'help', lang }, (reply) => {
      if (reply.url) {
        chooser.close();
        const link = element('a', { href: reply.url, download: '' });
        document.body.append(link);
        link.click();
        link.remove();
      } else {
        messageBox('information', reply.message);
      }
    });
    return false;
  };
  const chooser = dialog({
    caption: 'Help Options',
    onClose,
    body: [element('p', { class: 'prompt', text: 'Choose language:' })],
    buttons: [
      { caption: 'EN', isDefault: true, run: choose('EN') },
      { caption: 'RU', run: choose('RU') },
    ],
  });
  chooser.box.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') chooser.close();
  });
}
