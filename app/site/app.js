// The demo pages: a visitor picks a language, a vehicle and options and
// reads the vehicle's brochure sheet, the key advantages over a competitor and a feature
// comparison. Everything comes from the service's /api operations.
"use strict";

// The fictional demo site's vehicles and the options each model offers.
const VEHICLES = [
  { id: "1001", name: "Norvik Kestrel 1.5 Core", options: [5, 7, 9, 12, 15, 20, 21, 25] },
  { id: "1002", name: "Norvik Kestrel 1.5 Style", options: [5, 7, 9, 12, 15, 20, 21, 25] },
  { id: "1003", name: "Norvik Kestrel 2.0 Diesel", options: [5, 7, 9, 12, 15, 20, 21, 25, 30] },
  { id: "1004", name: "Castellan Ravel 1.2 Entry", options: [12, 15, 21] },
  { id: "1005", name: "Castellan Ravel 1.6 Premium", options: [12, 15, 21] },
  { id: "1006", name: "Castellan Ravel E-Drive", options: [12, 15, 21] },
  { id: "1007", name: "Norvik Arden 2.0 AWD", options: [12, 15] },
  { id: "1008", name: "Norvik Arden 2.5 Hybrid AWD", options: [12, 15] },
];
const MARKS = {
  "@S": ["s", "●", "standard"], "@O": ["o", "○", "optional"], "@D": ["d", "◐", "standard, but not as described"],
  "@U": ["u", "◇", "follows from another feature"], "@X": ["x", "–", "not available"],
};
const STATE_MARKS = { InitialVehicle: "", SameAsOther: "=", Added: "+", Deleted: "−", Changed: "≠", NoState: "" };

const $ = (id) => document.getElementById(id);
const language = () => $("language").value;
const currency = () => $("currency").value;

async function api(operation, params) {
  const query = new URLSearchParams(params).toString();
  const response = await fetch(`/api/${operation}?${query}`);
  const body = await response.json();
  if (!response.ok) {
    const error = body.error || {};
    throw new Error(error.description || `${error.parameter} ${error.message}`);
  }
  return body;
}

// Runs one load of a part of the page: marks its element busy meanwhile
// (for assistive technology) and drops an answer that a newer load of the
// same part has overtaken.
const generations = {};
async function loading(id, body) {
  const generation = (generations[id] = (generations[id] || 0) + 1);
  const element = $(id);
  element.setAttribute("aria-busy", "true");
  try {
    await body(() => generation === generations[id]);
  } finally {
    if (generation === generations[id]) element.removeAttribute("aria-busy");
  }
}

function cell(tag, text, className) {
  const element = document.createElement(tag);
  if (text !== undefined) element.textContent = text;
  if (className) element.className = className;
  return element;
}

function fillVehicleSelect(select, selected) {
  select.replaceChildren(...VEHICLES.map((v) => new Option(`${v.name} (${v.id})`, v.id, false, v.id === selected)));
}

function chosenOptions() {
  return [...document.querySelectorAll("#options input:checked")].map((box) => box.value).join(",");
}

function renderOptions() {
  const vehicle = VEHICLES.find((v) => v.id === $("vehicle").value);
  const legend = cell("legend", "Options");
  const boxes = vehicle.options.map((id) => {
    const label = cell("label");
    const box = document.createElement("input");
    box.type = "checkbox";
    box.value = String(id);
    box.addEventListener("change", loadSheet);
    label.append(box, ` option ${id}`);
    return label;
  });
  $("options").replaceChildren(legend, ...boxes);
}

// "@S air conditioning" -> a mark with its meaning, then the text.
function describe(td, description) {
  const code = description.slice(0, 2);
  let rest = description;
  if (MARKS[code]) {
    const [cls, symbol, meaning] = MARKS[code];
    const mark = cell("span", symbol, `mark ${cls}`);
    mark.title = meaning;
    mark.setAttribute("aria-label", meaning);
    td.append(mark);
    rest = description.slice(2);
  }
  const match = rest.match(/CUR\|(-?[0-9]+(?:\.[0-9]+)?)/);
  if (!match) {
    td.append(rest);
    return;
  }
  td.append(rest.slice(0, match.index));
  const amount = cell("span", match[1], "amount");
  td.append(amount, rest.slice(match.index + match[0].length));
  api("format-currency", { currencies: currency(), price: match[1], language: language() })
    .then((text) => { amount.textContent = text; })
    .catch(() => {});
}

async function loadSheet() {
  await loading("sheet", async (current) => {
    $("sheet-status").textContent = "";
    const params = { language: language(), vehicle: $("vehicle").value };
    const options = chosenOptions();
    if (options) params.options = options;
    try {
      const sheet = await api("specs", params);
      if (!current()) return;
      const rows = sheet.rows.map((row) => {
        const tr = cell("tr");
        tr.append(cell("th", row.data_value === "" && row.format === "" ? "" : `${row.row_id}`));
        tr.firstChild.scope = "row";
        const td = cell("td");
        describe(td, row.description || "");
        tr.append(td);
        return tr;
      });
      $("sheet").tBodies[0].replaceChildren(...rows);
    } catch (error) {
      if (current()) $("sheet-status").textContent = `The spec sheet could not be loaded: ${error.message}`;
    }
  });
  loadAdvantages();
}

async function loadAdvantages() {
  await loading("advantages", async (current) => {
    $("ka-status").textContent = "";
    const base = $("vehicle").value;
    const competitor = $("competitor").value;
    if (base === competitor) {
      $("advantages").replaceChildren(cell("li", "Pick a different competitor."));
      return;
    }
    const params = { vehicles: `${base},${competitor}`, language: language(), currencies: currency(),
                     "option-price-field": "msrp" };
    const options = chosenOptions();
    if (options) {
      // Options are chosen for the base vehicle only; the comparison needs
      // both lists once one is given, so the competitor's is empty.
      params["base-options"] = options;
      params["competitor-options"] = "";
    }
    try {
      const result = await api("compare", params);
      if (!current()) return;
      const items = result.rows.map((row) => {
        const lost = String(row.winner) !== base;
        return cell("li", `${lost ? "Competitor: " : ""}${row.description}`, lost ? "lost" : "won");
      });
      $("advantages").replaceChildren(...(items.length ? items : [cell("li", "No advantages either way.")]));
    } catch (error) {
      if (current()) $("ka-status").textContent = `The key advantages could not be loaded: ${error.message}`;
    }
  });
}

function renderCompareChoices() {
  const legend = cell("legend", "Vehicles to compare");
  const boxes = VEHICLES.map((v, index) => {
    const label = cell("label");
    const box = document.createElement("input");
    box.type = "checkbox";
    box.value = v.id;
    box.checked = index < 3;
    box.addEventListener("change", loadFeatures);
    label.append(box, ` ${v.name}`);
    return label;
  });
  $("compare-vehicles").replaceChildren(legend, ...boxes);
}

async function loadFeatures() {
  await loading("features", async (current) => {
    $("fc-status").textContent = "";
    const ids = [...document.querySelectorAll("#compare-vehicles input:checked")].map((box) => box.value);
    if (ids.length === 0) {
      $("features").tHead.replaceChildren();
      $("features").tBodies[0].replaceChildren();
      return;
    }
    try {
      const graph = await api("features", { vehicles: ids.join(","), language: language() });
      if (!current()) return;
      const head = cell("tr");
      head.append(cell("th", "Category"));
      for (const vehicle of graph.vehicles) {
        const name = (VEHICLES.find((v) => v.id === vehicle.id) || { name: vehicle.id }).name;
        head.append(cell("th", name));
      }
      for (const th of head.children) th.scope = "col";
      const count = graph.vehicles.length ? graph.vehicles[0].features.length : 0;
      const rows = [];
      for (let index = 0; index < count; index++) {
        const tr = cell("tr");
        tr.append(cell("th", graph.vehicles[0].features[index].category));
        tr.firstChild.scope = "row";
        for (const vehicle of graph.vehicles) {
          const feature = vehicle.features[index];
          const td = cell("td", "", `state-${feature.state}`);
          const mark = cell("span", STATE_MARKS[feature.state] || "", "mark");
          mark.setAttribute("aria-label", feature.state);
          td.append(mark, feature.text || "—");
          if (feature.icon) {
            // The site's icon names the state ("/img/en/added.png"); shown as
            // a small badge, since the demo serves no images.
            const badge = cell("span", feature.icon.split("/").pop().replace(/\.[a-z]+$/i, ""), "icon");
            badge.title = feature.icon;
            td.append(" ", badge);
          }
          tr.append(td);
        }
        rows.push(tr);
      }
      $("features").tHead.replaceChildren(head);
      $("features").tBodies[0].replaceChildren(...rows);
    } catch (error) {
      if (current()) $("fc-status").textContent = `The comparison could not be loaded: ${error.message}`;
    }
  });
}

// The visitor's choices live in the address's fragment, so that a page can
// be bookmarked or shared as it is shown:
// #language=3&currency=GBP&vehicle=1002&options=12,15&competitor=1005&compare=1001,1004
function saveChoices() {
  const state = new URLSearchParams({
    language: language(), currency: currency(), vehicle: $("vehicle").value, options: chosenOptions(),
    competitor: $("competitor").value,
    compare: [...document.querySelectorAll("#compare-vehicles input:checked")].map((box) => box.value).join(","),
  });
  history.replaceState(null, "", `#${state.toString()}`);
}

function pick(select, value) {
  if ([...select.options].some((option) => option.value === value)) select.value = value;
}

function restoreChoices() {
  const state = new URLSearchParams(location.hash.slice(1));
  if (state.has("language")) pick($("language"), state.get("language"));
  if (state.has("currency")) pick($("currency"), state.get("currency"));
  if (state.has("vehicle")) pick($("vehicle"), state.get("vehicle"));
  if (state.has("competitor")) pick($("competitor"), state.get("competitor"));
  renderOptions();
  if (state.has("options")) {
    const chosen = new Set(state.get("options").split(","));
    for (const box of document.querySelectorAll("#options input")) box.checked = chosen.has(box.value);
  }
  if (state.has("compare")) {
    const chosen = new Set(state.get("compare").split(","));
    for (const box of document.querySelectorAll("#compare-vehicles input")) box.checked = chosen.has(box.value);
  }
}

fillVehicleSelect($("vehicle"), "1001");
fillVehicleSelect($("competitor"), "1004");
renderCompareChoices();
restoreChoices();
$("vehicle").addEventListener("change", () => { renderOptions(); loadSheet(); });
$("competitor").addEventListener("change", loadAdvantages);
$("language").addEventListener("change", () => { loadSheet(); loadFeatures(); });
$("currency").addEventListener("change", loadSheet);
// Every choice is a form control inside main or the settings form.
document.addEventListener("change", saveChoices);
window.addEventListener("hashchange", () => { restoreChoices(); loadSheet(); loadFeatures(); });
loadSheet();
loadFeatures();
