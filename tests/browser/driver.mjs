// Headless Chromium (Debian's /usr/bin/chromium) for the live view's test and benches, driven by
// the Python side one JSON line at a time on standard input; each answer is one JSON line on
// standard output, {"ok": true, ...} or {"ok": false, "error": "..."}. Commands:
//   {"cmd": "open", "url": U, "width": W, "height": H}   a page at that size, in a browser
//        context of its own -> id;
//        the answer carries the status of the page, view.css and view.js
//   {"cmd": "eval", "id": N, "js": "() => ..."}          the function's value in the page
//   {"cmd": "screenshot", "id": N, "path": P}
//   {"cmd": "errors", "id": N}                           the page's errors and console errors
//   {"cmd": "close", "id": N}, {"cmd": "quit"}
import { createInterface } from "node:readline";
import { chromium } from "playwright-core";

// A fresh profile of its own (launch makes one and removes it at the end).
const browser = await chromium.launch({
  executablePath: process.env.KVT3_CHROMIUM || "/usr/bin/chromium",
  headless: true,
  args: [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    // A tab in the background keeps its timers and its stream as a shown one does.
    "--disable-background-timer-throttling",
    "--disable-renderer-backgrounding",
    "--disable-backgrounding-occluded-windows",
  ],
});

const pages = new Map();
let next = 1;

async function open({ url, width, height }) {
  // Each page in a context of its own, as on a device of its own: a browser keeps at most six
  // connections to one server, and each open page holds one for its event stream.
  const context = await browser.newContext({ viewport: { width, height } });
  const page = await context.newPage();
  const entry = { page, context, errors: [], loads: {} };
  page.on("pageerror", (e) => entry.errors.push("page error: " + e.message));
  page.on("console", (m) => {
    // The browser asks for /favicon.ico by itself; the view refuses it as any path without the
    // token, and that is not the page's fault.
    if (m.type() === "error" && !/\/favicon\.ico$/.test(m.location().url || ""))
      entry.errors.push("console: " + m.text() + " (" + (m.location().url || "") + ")");
  });
  page.on("response", (r) => {
    const name = new URL(r.url()).pathname.split("/").pop() || "page";
    if (!(name in entry.loads)) entry.loads[name] = r.status();
  });
  const id = next++;
  pages.set(id, entry);
  // The event stream never ends: the page is loaded when its document and files are.
  const response = await page.goto(url, { waitUntil: "load", timeout: 15000 });
  return { id, status: response ? response.status() : 0, loads: entry.loads };
}

function entryOf(id) {
  const entry = pages.get(id);
  if (!entry) throw new Error("no page " + id);
  return entry;
}

async function handle(request) {
  switch (request.cmd) {
    case "open":
      return open(request);
    case "eval": {
      // The function comes as text and runs in the page.
      const value = await entryOf(request.id).page.evaluate(`(${request.js})()`);
      return { value };
    }
    case "screenshot":
      await entryOf(request.id).page.screenshot({ path: request.path });
      return { path: request.path };
    case "errors":
      return { errors: entryOf(request.id).errors, loads: entryOf(request.id).loads };
    case "close":
      await entryOf(request.id).context.close();
      pages.delete(request.id);
      return {};
    case "quit":
      return {};
    default:
      throw new Error("unknown command " + request.cmd);
  }
}

async function quit() {
  await browser.close().catch(() => {});
}

const lines = createInterface({ input: process.stdin });
for await (const line of lines) {
  if (!line.trim()) continue;
  let answer;
  let request = {};
  try {
    request = JSON.parse(line);
    answer = { ok: true, ...(await handle(request)) };
  } catch (e) {
    answer = { ok: false, error: String(e && e.message ? e.message : e) };
  }
  process.stdout.write(JSON.stringify(answer) + "\n");
  if (request.cmd === "quit") break;
}
await quit();
process.exit(0);
