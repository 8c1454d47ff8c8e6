'use strict';
// The page's own judgement of its figures, run on view.js itself with the few browser parts it
// touches stood in for: an event that comes late (a tablet woken, a network that held the stream
// back) carries figures of seconds ago and must not be shown as the current reading.
const fs = require('fs');
const path = require('path');
const vm = require('vm');
const assert = require('assert');

const programClockBehindMs = 37_000;

class Element {
  constructor() {
    this.children = [];
    this.textContent = '';
    this.dataset = {};
    this.style = {};
    this.className = '';
    const classes = new Set();
    this.classList = {
      add: (c) => classes.add(c),
      remove: (c) => classes.delete(c),
      contains: (c) => classes.has(c),
      toggle: (c, on) => (on ? classes.add(c) : classes.delete(c)),
    };
  }
  append(...nodes) { this.children.push(...nodes); }
  setAttribute() {}
  getAttribute() { return null; }
  all(cls) {
    const out = [];
    for (const c of this.children) {
      if (c.className === cls) out.push(c);
      out.push(...c.all(cls));
    }
    return out;
  }
  querySelectorAll(sel) { return this.all(sel.slice(1)); }
  querySelector(sel) { return this.all(sel.slice(1))[0]; }
  getContext() { return { measureText: () => ({ width: 100 }) }; }
}

// Each word stands for itself, so that a case names the word it expects.
const wordNames = ['live', 'late', 'stale', 'noProgram', 'keyChanged', 'tooMany', 'busy', 'axis'];

// `answer`: what fetching the page's own address gives, when the page asks (null: no answer).
function loadPage(answer = null) {
  const words = new Element();
  words.textContent = JSON.stringify(Object.fromEntries(wordNames.map((w) => [w, w])));
  const ids = {
    rows: new Element(), mode: new Element(), why: new Element(), point: new Element(), words,
  };
  const body = new Element();
  body.classList.add('stale');
  const clock = { now: 1_000_000 };
  const timers = [];
  let source = null;
  const context = {
    document: {
      getElementById: (id) => ids[id],
      createElement: () => new Element(),
      addEventListener() {},
      body,
      visibilityState: 'hidden',
    },
    navigator: {},
    innerWidth: 800,
    innerHeight: 600,
    getComputedStyle: () => ({ fontFamily: 'monospace' }),
    addEventListener() {},
    setInterval: (fn, ms) => timers.push({ fn, ms, due: clock.now + ms }),
    setTimeout() {},
    fetch: () => (answer ? answer() : new Promise(() => {})),
    EventSource: class {
      constructor() { source = this; }
      close() {}
    },
    Date: class extends Date {
      static now() { return clock.now; }
    },
    Math,
    JSON,
  };
  context.window = context;
  context.EventSource.CLOSED = 2;
  vm.runInNewContext(fs.readFileSync(path.join(__dirname, '../../web/page/view.js'), 'utf8'),
    context);
  return {
    // `ms` of the page's time pass; its timers run as a browser would run them.
    pass(ms) {
      const end = clock.now + ms;
      for (;;) {
        const next = timers.reduce((a, t) => (!a || t.due < a.due ? t : a), null);
        if (!next || next.due > end) break;
        clock.now = next.due;
        next.due += next.ms;
        next.fn();
      }
      clock.now = end;
    },
    // An event the program sent `sentAgoMs` before the page gets it, showing `x`. The two
    // machines' clocks differ, as a tablet's and a workshop PC's do.
    receive(x, sentAgoMs, reading, last = {}) {
      const state = { axes: 1, rows: [{ axis: 'X', text: x }], mode: 'absolutne', live: true,
        why: '', reading, ageUs: 1000, sentMs: clock.now - sentAgoMs - programClockBehindMs,
        ...last };
      source.onmessage({ data: JSON.stringify(state) });
    },
    // The program closes the stream and refuses it when the browser asks again.
    refused() {
      source.readyState = context.EventSource.CLOSED;
      source.onerror();
    },
    live: () => !body.classList.contains('stale'),
    why: () => ids.why.textContent,
    shown: () => ids.rows.querySelector('.figures').textContent,
  };
}

// The program sends four times a second; the page first hears it on time, then the stream is
// held back for `gapMs` and what was held arrives at once, oldest first.
const cases = [
  { name: 'on time', gapMs: 0, lateMs: 0, live: true },
  { name: 'a short hold-up', gapMs: 600, lateMs: 600, live: true },
  { name: 'a tablet woken after 20 s', gapMs: 20_000, lateMs: 20_000, live: false },
  { name: 'a stream 5 s behind', gapMs: 5_000, lateMs: 5_000, live: false },
];
for (const c of cases) {
  const page = loadPage();
  for (let i = 0; i < 8; ++i) {
    page.receive('1.000', 0, i);
    page.pass(250);
  }
  page.pass(c.gapMs);
  page.receive('2.000', c.lateMs, 100);
  assert.strictEqual(page.shown(), '2.000', c.name);
  assert.strictEqual(page.live(), c.live,
    `${c.name}: figures sent ${c.lateMs} ms before they arrived shown as ` +
    (page.live() ? 'the current reading' : 'not current'));
}

// The stream ends and is refused: the page asks for its own address to tell why, and the words
// stand while no figures come, never replaced by "no link to the program" a second later.
const answered = (status) => () => Promise.resolve({ status, ok: status === 200 });
const gone = () => Promise.reject(new Error('refused'));
const refusals = [
  { name: 'a new key was made', answer: answered(403), word: 'keyChanged' },
  { name: 'too many pages open', answer: answered(200), word: 'tooMany' },
  { name: 'the view busy', answer: answered(503), word: 'busy' },
  { name: 'the program gone', answer: gone, word: 'noProgram' },
  { name: 'the program ended', answer: gone, last: { live: false, why: 'ended', ended: true },
    word: 'ended' },
];
(async () => {
  for (const c of refusals) {
    const page = loadPage(c.answer);
    page.receive('1.000', 0, 1);
    if (c.last) page.receive('1.000', 0, 2, c.last);
    page.refused();
    await new Promise((resolve) => setImmediate(resolve));
    page.pass(5000);
    assert.strictEqual(page.why(), c.word, c.name);
    assert.strictEqual(page.live(), false, c.name);
  }
  console.log('ok');
})().catch((e) => { console.error(e); process.exit(1); });
