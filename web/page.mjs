// The converter's page: the choices of the converter's main window, text typed or pasted and files picked
// or dropped, converted by the engine in a worker as they come, each result previewed, its warnings
// listed (a click selects the place in the input) and its output offered for download under the name
// tarvex-cli gives it. Once the engine has loaded here too, other scripts find it as window.tsendrel.
import { renderRtf, PREVIEW_RUNS } from './rtf-preview.mjs';

const PASTED_NAME = 'pasted.txt';
const PREVIEW_CHARACTERS = 50000;
const TYPING_PAUSE_MS = 250;

const $ = (id) => document.getElementById(id);
const form = $('choices');
const input = $('input');
const results = $('results');
const progressLine = $('progress-line');
const progress = $('progress');
const say = (text) => { $('status').textContent = text; };
const complain = (text) => { $('problem').textContent = text; };

let routes = [];
// What is shown: the pasted text, or the files last picked or dropped; each { name, bytes, text? }.
let items = [];
let batch = 0;  // the conversions of an older batch are forgotten when they end

// The worker, made again when a new batch supersedes a conversion still running.
let worker;
let workerReady;
let jobs = new Map();
let nextJob = 0;

function startWorker() {
  worker?.terminate();
  for (const job of jobs.values()) job.reject(new Error('superseded'));
  jobs = new Map();
  worker = new Worker(new URL('./worker.mjs', import.meta.url), { type: 'module' });
  workerReady = new Promise((resolve, reject) => {
    worker.onerror = (event) => reject(new Error(`The converter did not start: ${event.message}`));
    worker.onmessage = ({ data }) => {
      if (data.ready) {
        resolve();
        return;
      }
      const job = jobs.get(data.id);
      if (!job) return;
      if ('progress' in data) job.onProgress(data.progress);
      else {
        jobs.delete(data.id);
        if (data.error) job.reject(Object.assign(new Error(data.error.message), data.error));
        else job.resolve(data.result);
      }
    };
  });
}

async function convertInWorker(bytes, options, onProgress) {
  await workerReady;
  const id = nextJob++;
  return new Promise((resolve, reject) => {
    jobs.set(id, { resolve, reject, onProgress });
    worker.postMessage({ id, bytes, options });
  });
}

function chosenOptions() {
  const route = routes.find((each) => each.name === $('route').value);
  return {
    from: route.from,
    to: route.to,
    family: $('family').value,
    size: $('size').value.trim(),
    smallSize: $('small-size').value.trim(),
    keepCr: $('keep-cr').checked,
  };
}

function download(name, bytes) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([bytes]));
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// The CSS family of a font an RTF names: the kit's own web fonts by their names; the Unicode font an RTF
// names is shown in the page's Unicode font when the browser has no font of that name.
const fontFor = (name) => `'${name.replace(/'/g, '')}', 'DDC Uchen', serif`;

function preview(bytes) {
  const box = document.createElement('div');
  box.className = 'preview';
  const head = new TextDecoder('latin1').decode(bytes.subarray(0, 5));
  let complete = true;
  if (head === '{\\rtf') {
    const shown = renderRtf(bytes, fontFor);
    box.append(shown.element);
    complete = shown.complete;
  } else {
    const text = new TextDecoder().decode(bytes);
    const shown = document.createElement(/[\u0f00-\u0fff]/.test(text.slice(0, 4096)) ? 'div' : 'pre');
    if (shown.tagName === 'DIV') {
      shown.className = 'tibetan';
      shown.lang = 'bo';
    } else {
      shown.className = 'plain';
    }
    shown.textContent = text.slice(0, PREVIEW_CHARACTERS);
    box.append(shown);
    complete = text.length <= PREVIEW_CHARACTERS;
  }
  if (!complete) {
    const note = document.createElement('p');
    note.className = 'hint';
    note.textContent = `The preview shows the beginning (${PREVIEW_RUNS.toLocaleString('en')} runs or ` +
      `${PREVIEW_CHARACTERS.toLocaleString('en')} characters); download the output for all of it.`;
    box.append(note);
  }
  box.tabIndex = 0;
  box.setAttribute('aria-label', 'Preview');
  return box;
}

// The input's text from the start of line `line`, column `col` (characters, from 1) to the end of the
// word there, as offsets into the text area's value.
function placeOf(text, line, col) {
  let start = 0;
  for (let n = 1; n < line && start >= 0; n++) start = text.indexOf('\n', start) + 1 || -1;
  if (start < 0) return null;
  for (let n = 1; n < col && start < text.length && text[start] !== '\n'; n++)
    start += text.codePointAt(start) > 0xffff ? 2 : 1;
  const rest = text.slice(start).search(/[\s]/);
  return [start, rest <= 0 ? start + Math.min(1, text.length - start) : start + rest];
}

function showPlace(item, warning) {
  if (item.name !== PASTED_NAME) {
    item.text ??= new TextDecoder().decode(item.bytes);
    input.value = item.text;
    $('viewing').hidden = false;
    $('viewing').textContent = `The input shows ${item.name}; typing in it converts the text typed instead.`;
  }
  const place = placeOf(input.value, warning.line, warning.col);
  input.focus();
  if (place) input.setSelectionRange(place[0], place[1]);
}

function warningList(item, warnings) {
  const list = document.createElement('ol');
  list.className = 'warnings';
  list.setAttribute('aria-label', `Warnings of ${item.name}`);
  for (const warning of warnings) {
    const entry = document.createElement('li');
    if (warning.line > 0) {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = `${item.name}:${warning.line}:${warning.col}: ${warning.message}`;
      button.addEventListener('click', () => showPlace(item, warning));
      entry.append(button);
    } else {
      entry.textContent = warning.message;
    }
    list.append(entry);
  }
  return list;
}

function logDetails(log) {
  const details = document.createElement('details');
  const summary = document.createElement('summary');
  summary.textContent = 'Status lines';
  const lines = document.createElement('pre');
  lines.textContent = log.join('\n');
  details.append(summary, lines);
  return details;
}

function resultBox(item, outcome) {
  const box = document.createElement('article');
  box.className = 'result';
  box.dataset.input = item.name;
  const header = document.createElement('header');
  const title = document.createElement('h3');
  header.append(title);
  box.append(header);
  if (outcome.result) {
    const { result } = outcome;
    title.textContent = result.name;
    box.dataset.output = result.name;
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'download';
    button.textContent = `Download ${result.name}`;
    button.addEventListener('click', () => download(result.name, result.output));
    header.append(button);
    if (result.summary) {
      const summary = document.createElement('p');
      summary.className = 'summary';
      summary.textContent = result.summary;
      box.append(summary);
    }
    if (result.warnings.length) box.append(warningList(item, result.warnings));
    box.append(preview(result.output), logDetails(result.log));
  } else {
    title.textContent = item.name;
    const problem = document.createElement('p');
    problem.className = 'failure';
    problem.setAttribute('role', 'alert');
    problem.textContent = outcome.error.message;
    box.append(problem);
    if (outcome.error.warnings?.length) box.append(warningList(item, outcome.error.warnings));
    if (outcome.error.log?.length) box.append(logDetails(outcome.error.log));
  }
  return box;
}

// Converts the items with the choices made, showing each result as it comes. The body's data-started and
// data-finished name the last batch begun and the last shown to its end, for scripts that wait for one.
async function convertItems() {
  const mine = ++batch;
  document.body.dataset.started = String(mine);
  document.body.dataset.state = 'busy';
  complain('');
  results.replaceChildren();
  $('download-all').hidden = true;
  progress.value = 0;
  const showProgress = setTimeout(() => { progressLine.hidden = false; }, 100);
  try {
    if (!routes.length || !items.length) return;
    if (jobs.size) startWorker();
    const options = chosenOptions();
    const outcomes = [];
    say(items.length > 1 ? `Converting ${items.length} files…` : 'Converting…');
    for (const [index, item] of items.entries()) {
      const onProgress = (fraction) => { progress.value = (index + fraction) / items.length; };
      let outcome;
      try {
        outcome = { result: await convertInWorker(item.bytes, { ...options, name: item.name }, onProgress) };
      } catch (error) {
        if (mine !== batch) return;
        // Options refused before any file is read are the choices' problem, not the file's.
        if (!error.log) {
          complain(error.message);
          say('');
          return;
        }
        outcome = { error };
      }
      if (mine !== batch) return;
      outcomes.push(outcome);
      results.append(resultBox(item, outcome));
    }
    const converted = outcomes.filter((outcome) => outcome.result).length;
    say(items.length === 1 ? (converted ? `Converted ${items[0].name}.` : `${items[0].name} was not converted.`)
      : `${converted} of ${items.length} files converted.`);
    $('download-all').hidden = converted < 2;
  } finally {
    if (mine === batch) {
      clearTimeout(showProgress);
      progressLine.hidden = true;
      document.body.dataset.state = 'idle';
      document.body.dataset.finished = String(mine);
    }
  }
}

let typing;
input.addEventListener('input', () => {
  clearTimeout(typing);
  typing = setTimeout(() => {
    $('viewing').hidden = true;
    items = input.value ? [{ name: PASTED_NAME, bytes: new TextEncoder().encode(input.value) }] : [];
    convertItems();
    if (!items.length) say('Type or paste text, or choose files.');
  }, TYPING_PAUSE_MS);
});

async function takeFiles(fileList) {
  const files = [...fileList];
  if (!files.length) return;
  items = await Promise.all(files.map(async (file) => ({ name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) })));
  const empty = items.filter((item) => item.bytes.length === 0).map((item) => item.name);
  await convertItems();
  if (empty.length) complain(`Empty ${empty.length > 1 ? 'files' : 'file'}: ${empty.join(', ')}. There was nothing to convert.`);
}

$('files').addEventListener('change', (event) => takeFiles(event.target.files));
const dropZone = $('input-area');
dropZone.addEventListener('dragover', (event) => {
  event.preventDefault();
  $('drop-zone').classList.add('over');
});
dropZone.addEventListener('dragleave', () => $('drop-zone').classList.remove('over'));
dropZone.addEventListener('drop', (event) => {
  event.preventDefault();
  $('drop-zone').classList.remove('over');
  takeFiles(event.dataTransfer.files);
});

form.addEventListener('submit', (event) => event.preventDefault());
form.addEventListener('change', () => {
  const route = routes.find((each) => each.name === $('route').value);
  $('route-description').textContent = route ? route.description : '';
  convertItems();
});

$('download-all').addEventListener('click', () => {
  for (const box of results.querySelectorAll('.result')) box.querySelector('button.download')?.click();
});

startWorker();
document.body.dataset.state = 'loading';
import('./tsendrel.mjs').then(async (tsendrel) => {
  routes = tsendrel.routes();
  const select = $('route');
  select.replaceChildren(...routes.map((route) => {
    const option = document.createElement('option');
    option.value = route.name;
    option.textContent = route.caption || route.description;
    option.selected = route.default;
    return option;
  }));
  select.disabled = false;
  $('route-description').textContent = routes.find((route) => route.default).description;
  window.tsendrel = tsendrel;
  await workerReady;
  document.body.dataset.state = 'idle';
  say('Type or paste text, or choose files.');
  window.dispatchEvent(new Event('tsendrel-ready'));
}).catch((error) => {
  complain(`The converter did not load: ${error.message}`);
});
