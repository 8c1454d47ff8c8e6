'use strict';
// The live view of the readout: the figures the program's window shows, pushed to this page as
// they are read. Nothing here can change anything in the program or the box.
(function () {
  const view = { updates: 0, latencies: [] };
  window.kvtView = view;

  const rowsEl = document.getElementById('rows');
  const modeEl = document.getElementById('mode');
  const pointEl = document.getElementById('point');
  const whyEl = document.getElementById('why');
  // The page's words, in the program's language, served with the page.
  const words = JSON.parse(document.getElementById('words').textContent);
  let lastEventAt = 0;
  let lastReading = -1;
  let finalWord = '';
  // Why the stream is refused, as the program answered: it stands until a stream opens again.
  let refusedWord = '';
  let shownAxes = 0;
  let fittedFor = '';
  // The smallest delay seen on this stream from the program's sending to our receiving, on two
  // clocks that need not agree: what an event takes beyond it, it spent held up on the way (a
  // tablet asleep, a network that held the stream back), and its figures are that much older.
  let fastest = Infinity;
  let lateSince = 0;
  const LATE_MS = 1000;

  function setStale(text) {
    document.body.classList.add('stale');
    whyEl.textContent = text;
  }

  function setLive() {
    document.body.classList.remove('stale');
    whyEl.textContent = words.live;
  }

  function buildRows(count) {
    rowsEl.textContent = '';
    for (let i = 0; i < count; i++) {
      const row = document.createElement('div');
      row.className = 'row';
      const letter = 'XYZ'[i];
      row.dataset.axis = letter;
      const axis = document.createElement('span');
      axis.className = 'axis';
      axis.textContent = letter;
      const figures = document.createElement('span');
      figures.className = 'figures';
      figures.setAttribute('aria-label', words.axis.replace('%1', letter));
      row.append(axis, figures);
      rowsEl.append(row);
    }
    shownAxes = count;
    fittedFor = '';
  }

  // The figures as large as the screen allows: every row in the same size, the longest text
  // filling the width, all rows filling the height.
  const measure = document.createElement('canvas').getContext('2d');
  function fit() {
    const rows = rowsEl.querySelectorAll('.row');
    if (!rows.length) return;
    let longest = '';
    rows.forEach((r) => {
      const t = r.querySelector('.figures').textContent;
      if (t.length > longest.length) longest = t;
    });
    const key = longest.length + ':' + rows.length + ':' + innerWidth + 'x' + innerHeight;
    if (key === fittedFor) return;
    fittedFor = key;
    const family = getComputedStyle(rowsEl).fontFamily;
    measure.font = '100px ' + family;
    // The axis letter is half as large as the figures; a character's room besides.
    const width = measure.measureText(longest + 'M').width + measure.measureText('M').width / 2;
    const byWidth = (rowsEl.clientWidth * 0.96 * 100) / Math.max(width, 1);
    const byHeight = (rowsEl.clientHeight / rows.length) * 0.85;
    rowsEl.style.fontSize = Math.max(12, Math.floor(Math.min(byWidth, byHeight))) + 'px';
  }

  function apply(state, late) {
    const axes = Math.min(Math.max(state.axes | 0, 1), 3);
    if (axes !== shownAxes) buildRows(axes);
    const rows = rowsEl.querySelectorAll('.row');
    (state.rows || []).slice(0, axes).forEach((r, i) => {
      const figures = rows[i].querySelector('.figures');
      if (figures.textContent !== r.text) figures.textContent = r.text;
      // A distance to go, and near zero: marked as the window marks them, and said in words.
      const letter = rows[i].querySelector('.axis');
      const label = r.label || 'XYZ'[i];
      if (letter.textContent !== label) letter.textContent = label;
      rows[i].classList.toggle('togo', !!r.toGo);
      rows[i].classList.toggle('near', !!r.near);
      const spoken = r.spoken || words.axis.replace('%1', 'XYZ'[i]);
      if (figures.getAttribute('aria-label') !== spoken) figures.setAttribute('aria-label', spoken);
    });
    modeEl.textContent = state.mode || '';
    pointEl.textContent = state.point || '';
    fit();
    if (state.live && late) {
      setStale(words.late);
    } else if (state.live) {
      finalWord = '';
      setLive();
    } else {
      setStale(state.why || words.stale);
      if (state.ended) finalWord = state.why;
    }
    view.updates++;
    if (state.live && !late && state.reading !== lastReading && state.ageUs > 0) {
      view.latencies.push(state.ageUs / 1000 + (Date.now() - state.sentMs));
      if (view.latencies.length > 100000) view.latencies.splice(0, 50000);
    }
    lastReading = state.reading;
  }

  let source = null;
  function connect() {
    source = new EventSource('events');
    fastest = Infinity;
    lateSince = 0;
    source.onmessage = (event) => {
      const now = Date.now();
      lastEventAt = now;
      let state;
      try {
        state = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      const delay = now - state.sentMs;
      if (delay < fastest) fastest = delay;
      const late = delay - fastest > LATE_MS;
      apply(state, late);
      if (!late) {
        lateSince = 0;
      } else if (!lateSince) {
        lateSince = now;
      } else if (now - lateSince > 5000) {
        // Late for longer than a backlog takes to drain: one of the clocks was set. A new
        // stream starts from the current reading and measures afresh.
        source.close();
        connect();
      }
    };
    source.onopen = () => {
      refusedWord = '';
    };
    source.onerror = () => {
      if (source.readyState === EventSource.CLOSED) explainAndRetry();
    };
  }

  // Why no figures come, when the program has not said it in an event.
  function whyNot() {
    return finalWord || refusedWord || words.noProgram;
  }

  // The stream was refused: the page itself tells why, and the page tries again later.
  function explainAndRetry() {
    source.close();
    fetch('./', { cache: 'no-store' })
      .then((answer) => {
        // The page's own address refused: a new key was made, this address is no longer valid.
        if (answer.status === 403) refusedWord = words.keyChanged;
        else if (answer.ok) refusedWord = words.tooMany;
        else if (answer.status === 503) refusedWord = words.busy;
        else refusedWord = '';
        setStale(whyNot());
      })
      .catch(() => setStale(whyNot()))
      .finally(() => setTimeout(connect, 3000));
  }

  // Figures that stopped coming are never shown as live: the program sends at least four times
  // a second, so a second of silence means it, or the way to it, is gone.
  setInterval(() => {
    if (Date.now() - lastEventAt > 1000) setStale(whyNot());
  }, 250);

  addEventListener('resize', fit);

  // The screen stays on where the browser allows it (a secure page, on most).
  let wakeLock = null;
  async function keepAwake() {
    try {
      if ('wakeLock' in navigator && document.visibilityState === 'visible' && !wakeLock) {
        wakeLock = await navigator.wakeLock.request('screen');
        wakeLock.addEventListener('release', () => { wakeLock = null; });
      }
    } catch (e) {
      wakeLock = null;
    }
  }
  document.addEventListener('visibilitychange', keepAwake);
  keepAwake();

  connect();
})();
