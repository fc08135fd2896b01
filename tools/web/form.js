// The page's build form over window.kestrune: the files with their
// installed names and 8.3 forms, the messages with their defaults as
// placeholders, the options, and the installer as a download with the
// summary kestrune-pack prints.
'use strict';

const page = (() => {
  const $ = (id) => document.getElementById(id);
  const ROLES = ['main', 'second', 'extra'];
  const CODEPAGES = {
    874: 'Thai', 1250: 'Central European', 1251: 'Cyrillic', 1252: 'Western', 1253: 'Greek', 1254: 'Turkish',
    1255: 'Hebrew', 1256: 'Arabic', 1257: 'Baltic', 1258: 'Vietnamese',
  };
  const chosen = {main: null, second: null, extra: null, icon: null};  // File per role
  let defaults = null;
  let builtUrl = null;

  // A link that saves bytes as name; the object URL lives as long as the
  // link is shown.
  function downloadLink(bytes, name, text) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], {type: 'application/octet-stream'}));
    link.download = name;
    link.textContent = text || name;
    return link;
  }

  function fillCodepages(select, codepages, selected) {
    select.replaceChildren(...codepages.map((codepage) => {
      const option = new Option(`${codepage} ${CODEPAGES[codepage] || ''}`.trim(), String(codepage));
      option.selected = codepage === selected;
      return option;
    }));
  }

  function nameOf(role) {
    const given = $(`${role}-name`).value;
    return given !== '' ? given : chosen[role] ? chosen[role].name : '';
  }

  // The installer registers the saver by its 8.3 name, which the file
  // system makes unless the name has that shape itself.
  function aboutShortName(role, shortName) {
    if (role === 'main')
      return shortName ? `Registered as ${shortName}, its likely 8.3 name.` : 'An 8.3 name: registered as it is.';
    return shortName ? `Its likely 8.3 name: ${shortName}.` : 'An 8.3 name already.';
  }

  // The 8.3 form or the problem under each name, and the defaults that
  // follow from the main file's name.
  let describing = 0;  // the latest round: an older one that ends later shows nothing
  async function describeNames() {
    const turn = ++describing;
    const codepage = Number($('codepage').value);
    for (const role of ROLES) {
      const about = $(`${role}-about`);
      const name = nameOf(role);
      if (!name) {
        about.textContent = '';
        continue;
      }
      const described = await kestrune.describeName(name, {codepage});
      if (turn !== describing) return;
      about.classList.toggle('problem', Boolean(described.problem));
      about.textContent = described.problem || aboutShortName(role, described.shortName);
      if (role === 'main') {
        $('text-done').placeholder = described.doneText;
        $('output-name').placeholder = kestrune.installerName(name);
      }
    }
  }

  function setFile(role, file) {
    chosen[role] = file;
    if (role === 'icon') return;
    $(`${role}-name`).placeholder = file ? file.name : '';
    describeNames();
  }

  // build's options from the form, as kestrune-pack's from its command line.
  function buildOptions() {
    const options = {};
    for (const role of ROLES) {
      if (!chosen[role]) continue;
      options[role] = chosen[role];
      if ($(`${role}-name`).value !== '') options[`${role}Name`] = $(`${role}-name`).value;
    }
    if (chosen.icon) options.icon = chosen.icon;
    for (const key of ['confirm', 'dialog', 'productName', 'productVersion', 'company', 'copyright', 'description'])
      if ($(`text-${key}`).value !== '') options[key] = $(`text-${key}`).value;
    for (const key of ['done', 'failure', 'badHeader']) {
      if ($(`none-${key}`).checked) options[key] = '';
      else if ($(`text-${key}`).value !== '') options[key] = $(`text-${key}`).value;
    }
    const packing = document.querySelector('input[name="packing"]:checked').value;
    if (packing === 'stored') options.stored = true;
    if (packing === 'best') options.best = true;
    if (packing !== 'stored' && $('main-parts').value !== '1') options.mainParts = Number($('main-parts').value);
    if ($('silent').checked) options.silent = true;
    options.codepage = Number($('codepage').value);
    options.outputName = $('output-name').value || $('output-name').placeholder;
    return options;
  }

  function showProgress(bar, status, phase, done, total) {
    bar.hidden = false;
    bar.value = total ? done / total : 0;
    const words = {build: 'Packing', check: 'Checking', extract: 'Extracting'}[phase] || phase;
    status.textContent = `${words}… ${total ? Math.floor((100 * done) / total) : 0}%`;
  }

  async function build(event) {
    event.preventDefault();
    const button = $('build-button');
    const status = $('build-status');
    const bar = $('build-progress');
    button.disabled = true;
    status.className = '';
    $('build-download').replaceChildren();
    $('build-summary').hidden = true;
    try {
      const options = buildOptions();
      options.onProgress = (phase, done, total) => showProgress(bar, status, phase, done, total);
      const built = await kestrune.buildReport(options);
      if (builtUrl) URL.revokeObjectURL(builtUrl);
      const link = downloadLink(built.bytes, built.name, `Download ${built.name} again`);
      builtUrl = link.href;
      status.className = 'good';
      status.textContent = `Built ${built.name}: ${built.bytes.length.toLocaleString('en')} bytes.`;
      $('build-download').append(link);
      $('build-summary').textContent = [...built.summary, ...built.notes.map((note) => `note: ${note}`)].join('\n');
      $('build-summary').hidden = false;
      link.click();
    } catch (error) {
      status.className = 'bad';
      status.textContent = `Not built: ${error.message}`;
    } finally {
      bar.hidden = true;
      button.disabled = false;
    }
  }

  function syncOptions() {
    const stored = document.querySelector('input[name="packing"]:checked').value === 'stored';
    $('main-parts').disabled = stored;
    for (const key of ['done', 'failure', 'badHeader']) $(`text-${key}`).disabled = $(`none-${key}`).checked;
  }

  async function start() {
    for (const role of [...ROLES, 'icon'])
      $(`${role}-file`).addEventListener('change', (event) => setFile(role, event.target.files[0] || null));
    for (const role of ROLES) $(`${role}-name`).addEventListener('input', describeNames);
    $('extra-clear').addEventListener('click', () => {
      $('extra-file').value = '';
      $('extra-name').value = '';
      setFile('extra', null);
    });
    $('codepage').addEventListener('change', describeNames);
    $('build-form').addEventListener('change', syncOptions);
    $('build-form').addEventListener('submit', build);
    defaults = await kestrune.defaults();
    for (const select of document.querySelectorAll('select.codepages'))
      fillCodepages(select, defaults.codepages, defaults.defaultCodepage);
    $('text-failure').placeholder = defaults.failure;
    $('text-badHeader').placeholder = defaults.badHeader;
    $('text-done').placeholder = '<Name> is now your screen saver.';
    syncOptions();
    for (const role of ROLES) if ($(`${role}-file`).files[0]) setFile(role, $(`${role}-file`).files[0]);
    document.body.dataset.ready = 'true';
  }

  return {$, ROLES, chosen, setFile, downloadLink, showProgress, start};
})();
