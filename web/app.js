// The operator monitor: shows what the receiver sends over the channel and
// hands every operator action back to it. The receiver decides everything;
// this page only draws, asks and passes answers on.
'use strict';

const ROW_HEIGHT = 20;
// The columns keep their classic widths in proportion, scaled for this face.
const COLUMN_SCALE = 1.2;
const MAX_VIEW_LINES = 20000;
const VIEW_CHANNELS = ['all', 'imp', 'errors'];

// ---- Sounds ----------------------------------------------------------------

const sounds = [0, 1, 2, 3, 4, 5].map((i) => new Audio(`sounds/${i}.wav`));
let playing = null;
let interacted = false;
let playSounds = false;

function showSoundNote() {
  $('soundNote').hidden = interacted || !playSounds;
}

function playSound(index) {
  const sound = sounds[index];
  if (!sound || !playSounds) return;
  if (playing) {
    playing.pause();
    playing.currentTime = 0;
  }
  playing = sound;
  sound.currentTime = 0;
  sound.play().catch(() => {
    interacted = false;
    showSoundNote();
  });
}

for (const type of ['pointerdown', 'keydown']) {
  window.addEventListener(type, () => {
    interacted = true;
    showSoundNote();
  });
}

// ---- Header: counters and indicators ---------------------------------------

function showCounters(counters) {
  $('receiveMsg').textContent = `${counters.receiveMsg} `;
  $('sendCmd').textContent = `${counters.sendCmd} `;
  $('sendToMs').textContent = `${counters.sendToMs} `;
}

function showIndicator(channel, blinking) {
  const indicator = $(`indicator-${channel}`);
  if (indicator) indicator.classList.toggle('blinking', blinking);
}

// ---- Tabs -------------------------------------------------------------------

const tabs = ['all', 'imp', 'errors', 'ttm', 'settings'];
let shownTab = 'all';

function showTab(name) {
  shownTab = name;
  for (const tab of tabs) {
    const selected = tab === name;
    $(`tab-${tab}`).setAttribute('aria-selected', String(selected));
    $(`tab-${tab}`).tabIndex = selected ? 0 : -1;
    $(`panel-${tab}`).hidden = !selected;
  }
  if (name === 'imp' || name === 'errors') send({ type: 'showTab', tab: name });
  if (VIEW_CHANNELS.includes(name)) renderView(name, name === 'all');
  if (name === 'ttm') grid.render();
}

for (const tab of tabs) {
  $(`tab-${tab}`).addEventListener('click', () => showTab(tab));
  $(`tab-${tab}`).addEventListener('keydown', (event) => {
    const step = { ArrowRight: 1, ArrowLeft: -1 }[event.key];
    if (!step) return;
    const next = tabs[(tabs.indexOf(tab) + step + tabs.length) % tabs.length];
    showTab(next);
    $(`tab-${next}`).focus();
  });
}

// ---- Log views ----------------------------------------------------------------

const views = { all: [], imp: [], errors: [] };
const dirtyViews = new Set();

function setView(channel, view) {
  views[channel] = view.lines.slice(-MAX_VIEW_LINES);
  queueViewRender(channel);
}

function addLines(lines) {
  for (const line of lines) {
    const view = views[line.channel];
    if (!view) continue;
    if (line.blank) view.push('');
    view.push(line.text);
    if (view.length > MAX_VIEW_LINES) view.splice(0, view.length - MAX_VIEW_LINES);
    queueViewRender(line.channel);
  }
}

function queueViewRender(channel) {
  if (dirtyViews.size === 0) requestAnimationFrame(renderDirtyViews);
  dirtyViews.add(channel);
}

function renderDirtyViews() {
  for (const channel of dirtyViews) {
    if (shownTab === channel) renderView(channel, false);
  }
  dirtyViews.clear();
}

// Keeps the view at its end while the operator is there, or when asked to.
function renderView(channel, toEnd) {
  const pre = $(`view-${channel}`);
  const atEnd = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4;
  pre.textContent = views[channel].join('\n');
  if (toEnd || atEnd) pre.scrollTop = pre.scrollHeight;
}

// ---- The Test Time Monitor grid ---------------------------------------------------

const grid = {
  columns: [],
  count: 0,
  rows: new Map(), // row index -> row
  selected: -1, // row index of the current row
  selectedUnit: -1,
  pending: false,
  drawn: new Map(), // row index -> { row, selected, node } as last drawn

  setColumns(columns) {
    this.columns = columns;
    const head = $('grid-columns');
    head.replaceChildren(
      ...columns.map((column, i) =>
        element('div', {
          class: 'cell head-cell',
          role: 'columnheader',
          'aria-colindex': String(i + 1),
          text: column.caption,
        }),
      ),
    );
    this.applyWidths(head);
  },

  applyWidths(row) {
    [...row.children].forEach((cell, i) => {
      if (this.columns[i]) cell.style.width = `${Math.round(this.columns[i].width * COLUMN_SCALE)}px`;
    });
  },

  setCount(count, reset) {
    this.count = count;
    $('grid').setAttribute('aria-rowcount', String(count + 1));
    $('gridSpacer').style.height = `${count * ROW_HEIGHT}px`;
    if (reset) {
      this.rows.clear();
      this.selected = count > 0 ? 0 : -1;
      $('gridBody').scrollTop = 0;
    }
    if (this.selected >= count) this.selected = count - 1;
  },

  visibleRange() {
    const body = $('gridBody');
    const first = Math.max(0, Math.floor(body.scrollTop / ROW_HEIGHT) - 5);
    const count = Math.ceil(body.clientHeight / ROW_HEIGHT) + 10;
    return [first, Math.min(count, Math.max(0, this.count - first))];
  },

  // Fetches the rows in view; the receiver works each out afresh.
  fetch() {
    const [first, count] = this.visibleRange();
    if (count <= 0) {
      this.render();
      return;
    }
    ask({ type: 'rows', first, count }, (answer) => {
      this.count = answer.count;
      answer.rows.forEach((row, i) => this.rows.set(answer.first + i, row));
      if (this.selected >= 0 && this.rows.has(this.selected)) {
        this.selectedUnit = this.rows.get(this.selected).unit;
      }
      this.render();
    });
  },

  changed(message) {
    const before = this.count;
    this.setCount(message.count, message.reset);
    const [first, count] = this.visibleRange();
    let touched = message.reset || before !== message.count;
    for (let i = first; !touched && i < first + count; i++) {
      const row = this.rows.get(i);
      if (!row || (message.changed && message.changed.includes(row.unit))) touched = true;
    }
    if (touched && !$('panel-ttm').hidden) this.fetch();
    else if (touched) this.rows.clear();
  },

  // Draws the rows in view. A row whose data and selection are as last drawn
  // keeps its element, so a click that began on it still ends on it, and a
  // row being edited is kept until the edit ends.
  render() {
    const body = $('gridBody');
    const [first, count] = this.visibleRange();
    const fresh = [];
    const drawn = new Map();
    let missing = false;
    for (let i = first; i < first + count; i++) {
      const row = this.rows.get(i);
      if (!row) {
        missing = true;
        continue;
      }
      const selected = i === this.selected;
      const old = this.drawn.get(i);
      const keep = old && ((old.row === row && old.selected === selected) || old.node.contains(document.activeElement));
      const entry = keep ? old : { row, selected, node: this.rowElement(row, i) };
      drawn.set(i, entry);
      fresh.push(entry.node);
    }
    this.drawn = drawn;
    const current = [...body.children].slice(1);
    if (current.length !== fresh.length || current.some((node, i) => node !== fresh[i])) {
      body.replaceChildren($('gridSpacer'), ...fresh);
    }
    if (missing && !this.pending) {
      this.pending = true;
      requestAnimationFrame(() => {
        this.pending = false;
        this.fetch();
      });
    }
  },

  rowElement(row, index) {
    const selected = index === this.selected;
    const line = element('div', {
      class: selected ? 'grid-row selected' : 'grid-row',
      role: 'row',
      'aria-rowindex': String(index + 2),
      'aria-selected': String(selected),
    });
    line.style.top = `${index * ROW_HEIGHT}px`;
    line.style.background = `linear-gradient(${row.top}, ${row.bottom})`;
    line.style.color = selected ? row.selectedText : '#000000';
    const cells = [
      element('div', { class: 'cell centre', text: row.unitText }),
      element('div', { class: selected ? 'cell centre bold' : 'cell centre bold account', text: row.account }),
      this.addressCell(row),
      element('div', { class: 'cell', text: row.lastTestTime }),
      element('div', { class: 'cell', text: row.noTestTime }),
      element('div', { class: 'cell', text: row.firstMsgTime }),
      element('div', { class: 'cell', text: row.imei }),
      element('div', { class: 'cell', text: row.fwVer }),
      this.gsmCell(row),
      ...[0, 1, 2].map((level) => this.commTrCell(row, level)),
      element('div', {
        class: selected ? 'cell centre bold cmd' : 'cell centre bold cmd-count',
        text: row.cmdCount > 0 ? String(row.cmdCount) : '',
        onclick: (event) => this.cmdClicked(event, index),
      }),
    ];
    cells.forEach((cell, i) => {
      cell.setAttribute('role', 'gridcell');
      cell.setAttribute('aria-colindex', String(i + 1));
    });
    line.append(...cells);
    this.applyWidths(line);
    line.addEventListener('mousedown', () => this.select(index));
    line.addEventListener('contextmenu', (event) => {
      event.preventDefault();
      this.select(index);
      menu.open(event.clientX, event.clientY);
    });
    return line;
  },

  addressCell(row) {
    const cell = element('div', { class: 'cell address' });
    if (row.transport) {
      cell.append(
        element('img', {
          class: 'transport',
          src: `${row.transport.toLowerCase()}.svg`,
          alt: row.transport,
          width: '13',
          height: '9',
        }),
      );
    }
    cell.append(element('span', { class: 'ip', text: row.ip }));
    if (row.transport || row.port) cell.append(element('span', { class: 'port', text: `:${row.port}` }));
    return cell;
  },

  gsmCell(row) {
    const cell = element('div', { class: 'cell centre' });
    if (row.gsmIcon >= 0) {
      cell.append(
        element('img', {
          src: `gsm${row.gsmIcon}.svg`,
          alt: `GSM ${row.gsmIcon}`,
          width: '21',
          height: '15',
        }),
      );
    }
    return cell;
  },

  commTrCell(row, level) {
    const input = element('input', {
      class: 'comm-tr',
      type: 'text',
      inputmode: 'numeric',
      'aria-label': `Comm Tr. ${level + 1} of unit ${row.unitText}`,
      value: String(row.commTr[level]),
    });
    const commit = () => {
      const text = input.value.trim();
      if (!/^\d+$/.test(text) || Number(text) > 65535) {
        input.value = String(row.commTr[level]);
        input.setCustomValidity('A whole number from 0 to 65535');
        input.reportValidity();
        return;
      }
      input.setCustomValidity('');
      if (Number(text) !== row.commTr[level]) {
        send({ type: 'commTr', unit: row.unit, level: level + 1, value: Number(text) });
      }
    };
    input.addEventListener('change', commit);
    input.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') input.blur();
      event.stopPropagation();
    });
    const cell = element('div', { class: 'cell' }, input);
    return cell;
  },

  select(index) {
    if (index < 0 || index >= this.count || index === this.selected) return;
    this.selected = index;
    const row = this.rows.get(index);
    this.selectedUnit = row ? row.unit : -1;
    this.scrollTo(index);
    this.render();
  },

  scrollTo(index) {
    const body = $('gridBody');
    const top = index * ROW_HEIGHT;
    if (top < body.scrollTop) body.scrollTop = top;
    else if (top + ROW_HEIGHT > body.scrollTop + body.clientHeight) {
      body.scrollTop = top + ROW_HEIGHT - body.clientHeight;
    }
  },

  cmdClicked(event, index) {
    if (index !== this.selected) return;
    const row = this.rows.get(index);
    if (!row || row.cmdCount === 0) return;
    const rect = event.currentTarget.getBoundingClientRect();
    ask({ type: 'cmdList', unit: row.unit }, (answer) => {
      if (answer.names.length > 0) cmdPopup(answer.unit, answer.names, rect);
    });
  },
};

$('gridBody').addEventListener('scroll', () => grid.render());
$('grid').addEventListener('keydown', (event) => {
  const page = Math.max(1, Math.floor($('gridBody').clientHeight / ROW_HEIGHT) - 1);
  const moves = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page };
  if (event.key in moves) {
    grid.select(Math.min(grid.count - 1, Math.max(0, grid.selected + moves[event.key])));
  } else if (event.key === 'Home') {
    grid.select(0);
  } else if (event.key === 'End') {
    grid.select(grid.count - 1);
  } else if (event.key === 'ContextMenu' || (event.shiftKey && event.key === 'F10')) {
    const rect = $('gridBody').getBoundingClientRect();
    menu.open(rect.left + 40, rect.top + (grid.selected * ROW_HEIGHT - $('gridBody').scrollTop) + 20);
  } else {
    return;
  }
  event.preventDefault();
});
new ResizeObserver(() => grid.render()).observe($('gridBody'));

$('filter').addEventListener('input', () => send({ type: 'filter', text: $('filter').value }));
$('refresh').addEventListener('click', () => grid.fetch());

// ---- The grid's context menu ------------------------------------------------

const menu = {
  entries: [],
  stack: [],

  open(x, y) {
    this.close();
    if (grid.selected < 0) return;
    this.show(this.entries, x, y, null);
  },

  show(entries, x, y, parentItem) {
    const list = element('div', { class: 'menu', role: 'menu' });
    if (parentItem) list.setAttribute('aria-label', parentItem.textContent);
    else list.setAttribute('aria-label', 'Unit commands');
    for (const entry of entries) {
      if (entry.separator) {
        list.append(element('div', { class: 'separator', role: 'separator' }));
        continue;
      }
      const item = element('div', {
        class: entry.submenu ? 'item has-submenu' : 'item',
        role: 'menuitem',
        tabindex: '-1',
        text: entry.caption,
      });
      if (entry.submenu) {
        item.setAttribute('aria-haspopup', 'menu');
        const openSub = () => {
          this.closeFrom(list);
          const rect = item.getBoundingClientRect();
          this.show(entry.submenu, rect.right, rect.top, item);
        };
        item.addEventListener('mouseenter', openSub);
        item.addEventListener('click', openSub);
        item.addEventListener('keydown', (event) => {
          if (event.key === 'ArrowRight' || event.key === 'Enter') {
            openSub();
            this.stack[this.stack.length - 1].querySelector('[role=menuitem]')?.focus();
          }
        });
      } else {
        item.addEventListener('mouseenter', () => this.closeFrom(list));
        const choose = (event) => {
          const ctrl = event.ctrlKey;
          this.close();
          startCommand(entry.action, ctrl);
        };
        item.addEventListener('click', choose);
        item.addEventListener('keydown', (event) => {
          if (event.key === 'Enter') choose(event);
        });
      }
      list.append(item);
    }
    list.addEventListener('keydown', (event) => this.keys(event, list));
    $('menus').append(list);
    const box = list.getBoundingClientRect();
    list.style.left = `${Math.min(x, window.innerWidth - box.width - 4)}px`;
    list.style.top = `${Math.min(y, window.innerHeight - box.height - 4)}px`;
    this.stack.push(list);
    (list.querySelector('[role=menuitem]') ?? list).focus();
  },

  keys(event, list) {
    const items = [...list.querySelectorAll(':scope > [role=menuitem]')];
    const at = items.indexOf(document.activeElement);
    if (event.key === 'ArrowDown' || event.key === 'ArrowUp') {
      const step = event.key === 'ArrowDown' ? 1 : -1;
      items[(at + step + items.length) % items.length]?.focus();
    } else if (event.key === 'Escape' || (event.key === 'ArrowLeft' && this.stack.length > 1)) {
      const parent = this.stack.length > 1;
      this.closeFrom(this.stack[this.stack.length - 2] ?? null);
      if (!parent || event.key === 'Escape') this.close();
    } else {
      return;
    }
    event.preventDefault();
    event.stopPropagation();
  },

  // Closes the submenus opened from the given menu.
  closeFrom(list) {
    while (this.stack.length && this.stack[this.stack.length - 1] !== list) {
      this.stack.pop().remove();
    }
  },

  close() {
    const wasOpen = this.stack.length > 0;
    this.closeFrom(null);
    if (wasOpen) $('grid').focus();
  },
};

document.addEventListener('mousedown', (event) => {
  if (!event.target.closest('.menu')) menu.close();
});

// ---- Commands --------------------------------------------------------------

function startCommand(action, ctrl) {
  if (grid.selected < 0) return;
  ask({ type: 'command', action, unit: grid.selectedUnit, ctrl }, showStep);
}

function answer(message) {
  ask({ type: 'answer', ...message }, showStep);
}

function showStep(step) {
  if (step.type === 'error') return;
  if (step.sound !== undefined) playSound(step.sound);
  switch (step.kind) {
    case 'refused':
      messageBox('warning', step.box);
      break;
    case 'failed':
      messageBox('error', step.box);
      break;
    case 'askUnitNr':
      unitNrBox(step);
      break;
    case 'askPassword':
      if (step.box) messageBox('error', step.box, () => passwordPrompt(step.dialog));
      else passwordPrompt(step.dialog);
      break;
    case 'confirm':
      question(step.box, (yes) => answer({ dialog: step.dialog, yes }));
      break;
    case 'sent':
      if (step.showAllMsg) showTab('all');
      break;
    default:
      break;
  }
}

function unitNrBox(step) {
  const input = element('input', { type: 'text', 'aria-label': step.input.prompt, autocomplete: 'off' });
  input.value = step.input.preset;
  dialog({
    caption: step.input.caption,
    body: [element('label', { class: 'prompt', text: step.input.prompt }), input],
    focus: input,
    buttons: [
      { caption: 'OK', isDefault: true, run: (e) => answer({ dialog: step.dialog, value: input.value, ctrl: e.ctrlKey }) },
      { caption: 'Cancel', isCancel: true, run: () => answer({ dialog: step.dialog, value: null }) },
    ],
  });
  input.select();
}

function passwordPrompt(dialogNr) {
  const input = element('input', { type: 'text', 'aria-label': 'Please enter Admin Password: ', autocomplete: 'off', spellcheck: 'false' });
  dialog({
    caption: 'Security Options',
    className: 'security',
    body: [element('label', { class: 'prompt', text: 'Please enter Admin Password: ' }), input],
    focus: input,
    buttons: [
      { caption: 'OK', isDefault: true, run: (e) => answer({ dialog: dialogNr, value: input.value, ctrl: e.ctrlKey }) },
      { caption: 'Cancel', isCancel: true, run: () => answer({ dialog: dialogNr, value: null }) },
    ],
  });
}

function cmdPopup(unit, names, cellRect) {
  const list = element('ul', { class: 'cmd-list', 'aria-label': 'Remembered commands' },
    ...names.map((name) => element('li', { text: name })));
  const { box } = dialog({
    caption: 'Send CMD',
    className: 'cmd-popup',
    body: [list],
    buttons: [
      { caption: 'Clear All Remembered Commands', run: () => send({ type: 'clearCmd', unit }) },
      { caption: 'exit', isCancel: true, run: () => {} },
    ],
  });
  const width = box.getBoundingClientRect().width;
  box.style.position = 'fixed';
  box.style.top = `${cellRect.top}px`;
  box.style.left = `${Math.max(0, cellRect.left - width)}px`;
  box.parentElement.classList.add('modeless');
}

// ---- Settings ----------------------------------------------------------------

let serialPorts = [];

function showSettings(settings) {
  serialPorts = settings.serialPorts;
  playSounds = settings.playSounds;
  $('playSounds').checked = settings.playSounds;
  showSoundNote();
  const body = $('settingsRows');
  const focusedRow = document.activeElement?.dataset?.row;
  body.replaceChildren(...settings.rows.map((row, index) => settingsRow(row, index)));
  if (focusedRow !== undefined) body.querySelector(`[data-row="${focusedRow}"]`)?.focus();
}

function settingsRow(row, index) {
  let editor;
  if (row.choice) {
    editor = element('select', { 'aria-label': row.caption, 'data-row': String(index) });
    const names = serialPorts.includes(row.value) ? serialPorts : [row.value, ...serialPorts];
    for (const name of names) editor.append(element('option', { value: name, text: name }));
    editor.value = row.value;
    editor.addEventListener('blur', () => {
      if (editor.value !== row.value) send({ type: 'setting', row: index, value: editor.value });
    });
  } else {
    editor = element('input', { type: 'text', 'aria-label': row.caption, 'data-row': String(index), value: row.value });
    editor.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') editor.blur();
    });
    editor.addEventListener('change', () => send({ type: 'setting', row: index, value: editor.value }));
  }
  const value = element('td', { class: 'value' }, editor);
  if (row.unit) value.append(element('span', { class: 'unit', text: ` ${row.unit}` }));
  return element('tr', { title: row.hint, role: 'row' },
    element('td', { class: 'key', role: 'rowheader', text: row.caption }), value);
}

$('playSounds').addEventListener('change', () => send({ type: 'playSounds', on: $('playSounds').checked }));

$('changePassword').addEventListener('click', (event) => {
  event.preventDefault();
  ask({ type: 'passwordWindow' }, (window) => {
    if (window.failed) {
      messageBox('error', window.failed);
      return;
    }
    const current = element('input', { type: 'text', 'aria-label': 'Current Password:', autocomplete: 'off' });
    const next = element('input', { type: 'text', 'aria-label': 'New Password:', autocomplete: 'off' });
    current.value = window.preset;
    const box = dialog({
      caption: 'Security Options',
      className: 'security',
      body: [
        element('p', { class: 'prompt', text: 'Changing Admin Password:' }),
        element('label', { class: 'field', text: 'Current Password:' }), current,
        element('label', { class: 'field', text: 'New Password:' }), next,
      ],
      focus: window.focusNew ? next : current,
      buttons: [
        {
          caption: 'OK',
          isDefault: true,
          run: () => {
            ask({ type: 'passwordChange', current: current.value, next: next.value }, (reply) => {
              messageBox(reply.box, reply.text, () => {
                if (reply.close) box.close();
              });
            });
            return false;
          },
        },
        { caption: 'Cancel', isCancel: true, run: () => {} },
      ],
    });
  });
});

// ---- Help, close ------------------------------------------------------------------

$('help').addEventListener('click', () => helpChooser(ask));

$('close').addEventListener('click', () => {
  ask({ type: 'close' }, (reply) => question(reply.box, (yes) => send({ type: 'closeAnswer', yes })));
});

function showClosed(text) {
  closed = true;
  document.title = 'Corvane Talvero (v2.0.00) - closed';
  $('closedText').textContent = text;
  $('closedNote').hidden = false;
  $('connection').textContent = 'closed';
}

// ---- The channel ---------------------------------------------------------------

const handlers = {
  hello(message) {
    document.title = message.title;
    $('appStarted').textContent = message.appStarted;
    showCounters(message.counters);
    showIndicator('imp', message.indicators.imp);
    showIndicator('errors', message.indicators.errors);
    grid.setColumns(message.columns);
    grid.setCount(message.grid.count, true);
    menu.entries = message.menu;
    showSettings(message.settings);
    for (const channel of VIEW_CHANNELS) setView(channel, message.views[channel]);
    showTab(shownTab);
  },
  lines: (message) => addLines(message.lines),
  viewCleared: (message) => setView(message.channel, message.view),
  counters: (message) => showCounters(message.counters),
  indicator: (message) => showIndicator(message.channel, message.blinking),
  sound: (message) => playSound(message.index),
  grid: (message) => grid.changed(message),
  filterBox: (message) => {
    $('filter').style.background = message.colour;
  },
  settings: (message) => showSettings(message.settings),
  closed: (message) => showClosed(message.text ?? 'The monitor has closed.'),
  startFailed: (message) => messageBox('error', message.text, () => send({ type: 'startFailedOk' })),
};

connect(handlers, () => showClosed('The connection to the monitor was lost.'));
